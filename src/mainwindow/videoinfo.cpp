#include "videoinfo.h"

#include "ui_videoinfo.h"

#include <cmath>

#include "app/windowdrag.h"
#include "filelist/filerow.h"

namespace {

constexpr double kShowAsGigabytes = 1000.0;
constexpr double kMegabytesPerGigabyte = 1024.0;
// Sizes are cut to two decimals; the guard keeps 8.2 × 100 from landing on
// 819.999... and losing a hundredth to binary rounding.
constexpr double kRoundingGuard = 1e-7;

double truncatedToHundredths(double value)
{
    return std::trunc(value * 100.0 + std::copysign(kRoundingGuard, value)) / 100.0;
}

// A frame rate is shown with its unit. A file without one (sound only, an
// audio output) shows none, not the last file's or the form's.
void setFrameRate(QLabel *label, const QString &rate)
{
    label->setText(rate.isEmpty() ? QString() : rate + QStringLiteral("fps"));
}

} // namespace

videoInfo::videoInfo(QWidget *parent)
    : SkinnedDialog(QStringLiteral("skins/default/videoinfo.png"), RefreshOnPaint, parent)
    , ui(new Ui::videoInfo)
{
    ui->setupUi(this);
    applySkin();
}

videoInfo::~videoInfo()
{
    delete ui;
}

QString videoInfo::sizeText(const QString &megabytes)
{
    // A file of unknown length has no size to tell, which is not 0 MB.
    if (megabytes.trimmed().isEmpty())
        return QString();
    bool ok = false;
    double size = megabytes.toDouble(&ok);
    if (!ok || !std::isfinite(size))
        size = 0.0;
    const double shown = truncatedToHundredths(size);
    if (shown < kShowAsGigabytes)
        return QString::number(shown, 'g', 6) + QStringLiteral("MB");
    return QString::number(truncatedToHundredths(shown / kMegabytesPerGigabyte), 'g', 6)
           + QStringLiteral("GB");
}

void videoInfo::setInfo(const QStringList &info)
{
    using namespace FileRow;
    const auto has = [&info](int entry) { return entry < info.size(); };

    if (has(InputFormat))
        ui->labelInputFileFormat->setText(info.at(InputFormat));
    if (has(InputSize))
        ui->labelInputFileResolution->setText(info.at(InputSize));
    if (has(InputVideoCodec))
        ui->labelInputVideoCodec->setText(info.at(InputVideoCodec));
    if (has(InputAudioCodec))
        ui->labelInputAudioCodec->setText(info.at(InputAudioCodec));
    if (has(InputFrameRate))
        setFrameRate(ui->labelInputVideoFrame, info.at(InputFrameRate));
    if (has(InputFileMB))
        ui->labelInputFileSize->setText(sizeText(info.at(InputFileMB)));
    if (has(OutputFormat))
        ui->labelOutputFileFormat->setText(info.at(OutputFormat));
    if (has(OutputSize))
        ui->labelOutputFileResolution->setText(info.at(OutputSize));
    if (has(OutputVideoCodec))
        ui->labelOutputVideoCodec->setText(info.at(OutputVideoCodec));
    if (has(OutputAudioCodec)) {
        const QString codec = info.at(OutputAudioCodec);
        ui->labelOutputAudioCodec->setText(codec == QLatin1String("libmp3lame")
                                               ? QStringLiteral("mp3")
                                               : codec);
    }
    if (has(OutputFrameRate))
        setFrameRate(ui->labelOutputVideoFrame, info.at(OutputFrameRate));
    if (has(EstimatedMB))
        ui->labelOutputFileSize->setText(sizeText(info.at(EstimatedMB)));
}

bool videoInfo::dragAllowed(QPoint origin, QPointF pointer) const
{
    return WindowDrag::titleStripDrags(origin) || pointer.x() > kRightDragEdge;
}

void videoInfo::on_closeButton_clicked()
{
    close();
}

void videoInfo::on_closePushButton_clicked()
{
    close();
}
