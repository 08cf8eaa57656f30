#include "filelistrules.h"

#include "filelist/effectscale.h"
#include "filelist/outputname.h"
#include "profiles/argumentlist.h"

namespace FileListRules {

namespace {

// The context menu's hit test counts rows at this height and ignores
// scrolling: a request below the last such row is not on a row.
constexpr int kRowHeight = 22;

const QStringList kRejectedExtensions = {
    QStringLiteral("avs"), QStringLiteral("ifo"), QStringLiteral("ppm"), QStringLiteral("gif"),
    QStringLiteral("docx"), QStringLiteral("txt"), QStringLiteral("dll"), QStringLiteral("exe"),
    QString(), QStringLiteral("rar"), QStringLiteral("lib"), QStringLiteral("css"),
    QStringLiteral("qss"), QStringLiteral("jpg"), QStringLiteral("bmp"), QStringLiteral("png"),
};

const QStringList kOpenDialogFilters = {
    QStringLiteral("All Files (*)"),
    QStringLiteral("Videos (*.asf *.avi *.mov *.mp4 *.wmv *.flv *.mpg *.ts *.rmvb *.rm *.dat "
                   "*.vob *.3gp)"),
    QStringLiteral("Audios (*.mp3 *.mp2 *.ac3 *.wma *.wav *.m4a *.flac)"),
    QStringLiteral("High Definition Video Files (*.ts *.mts *.m2ts)"),
    QStringLiteral("MPEG2 Video Files (*.mpg *.mpeg)"),
    QStringLiteral("MPEG4 Video Files (*.mp4 *.m4v)"),
    QStringLiteral("AVI Files (*.avi)"),
    QStringLiteral("Advanced Systems Format Files (*.asf)"),
    QStringLiteral("Advance Media Video (*.amv)"),
    QStringLiteral("Flash Video Format Files (*.flv)"),
    QStringLiteral("Quick Time Files (*.mov)"),
    QStringLiteral("Real Media Files (*.rm *.rmvb)"),
    QStringLiteral("VCD Video Files (*.dat)"),
    QStringLiteral("DVD Video Files (*.vob)"),
    QStringLiteral("3GP Video Files (*.3gp *.3gp2)"),
    QStringLiteral("Windows Media Video Files (*.wmv *.asf)"),
    QStringLiteral("Matroska Video Files (*.mkv)"),
    QStringLiteral("JVC Recorded MOD Video Files (*.mod)"),
    QStringLiteral("TOD Video Files (*.tod)"),
};

int decimal(const QString &text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

bool isRejectedExtension(const QString &extension) {
    const QString lower = extension.toLower();
    for (const QString &rejected : kRejectedExtensions) {
        if (lower == rejected)
            return true;
    }
    return false;
}

QString openDialogFilter() {
    return kOpenDialogFilters.join(QLatin1Char('\n'));
}

QString textBefore(const QString &text, QChar stop) {
    const qsizetype at = text.indexOf(stop);
    return at < 0 ? text : text.left(at);
}

QString withNumberBeforeDot(const QString &name, int number) {
    return OutputName::numbered(name, number);
}

QString outputNameAmong(const QString &outputName, const QSet<QString> &names, int number) {
    // A name matched once takes the number; whatever rows come after it,
    // the name stays numbered once.
    return names.contains(outputName) ? withNumberBeforeDot(outputName, number) : outputName;
}

int lastCheckedRow(const QVector<CheckedRow> &rows) {
    int last = 0;
    for (int row = 0; row < rows.size(); ++row) {
        if (rows.at(row).checked)
            last = row;
    }
    return last;
}

int durationTextSeconds(const QString &text) {
    const qsizetype first = text.indexOf(QLatin1Char(':'));
    if (first < 0)
        return 0;
    const int hours = decimal(text.left(first));
    const QString rest = text.mid(first + 1);
    const qsizetype second = rest.indexOf(QLatin1Char(':'));
    if (second < 0)
        return 0;
    const int minutes = decimal(rest.left(second));
    const int seconds = decimal(rest.mid(second + 1));
    return hours * 3600 + minutes * 60 + seconds;
}

int totalCheckedDuration(const QVector<CheckedRow> &rows) {
    int total = 0;
    for (const CheckedRow &row : rows) {
        if (row.checked)
            total += durationTextSeconds(row.durationText);
    }
    return total;
}

Qt::CheckState checkAllState(int rows, int checked) {
    if (checked == rows)
        return Qt::Checked;
    if (checked > 0)
        return Qt::PartiallyChecked;
    return Qt::Unchecked;
}

ListMenuState listMenuState(int rows, int y, bool convertEnabled) {
    ListMenuState state;
    const bool onRow = rows > 0 && kRowHeight * rows > y;
    state.remove = onRow;
    state.clean = onRow;
    state.selectAll = onRow;
    state.fileInformation = onRow;
    if (!convertEnabled) {
        state.addFiles = false;
        state.remove = false;
        state.clean = false;
        state.selectAll = false;
    }
    return state;
}

QStringList editorValues(const QStringList &arguments, const QStringList &effects) {
    QStringList values = {
        QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
        QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
        QStringLiteral("0"), QStringLiteral("-1"), QStringLiteral("20"),
    };
    if (Arguments::find(arguments, Arguments::kTrimStart) >= 0) {
        const QString start = Arguments::value(arguments, Arguments::kTrimStart);
        values[7] = start;
        // Whole seconds are what the editor speaks; a start kept as typed
        // ("12.5") still gives the right end.
        const double end =
            start.toDouble() + Arguments::value(arguments, Arguments::kTrimLength).toDouble();
        values[8] = QString::number(qint64(end));
    }
    for (int side = 0; side < Arguments::kCropWords.size(); ++side) {
        if (Arguments::find(arguments, Arguments::kCropWords.at(side)) >= 0)
            values[side] = Arguments::value(arguments, Arguments::kCropWords.at(side));
    }
    if (!effects.isEmpty()) {
        values[4] = EffectScale::gainToPercent(effects.value(0));
        values[5] = EffectScale::levelToPercent(effects.value(1));
        values[6] = EffectScale::gainToPercent(effects.value(2));
    }
    return values;
}

} // namespace FileListRules
