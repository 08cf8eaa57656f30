#include "editordialog.h"

#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include "durationspinbox.h"
#include "framepreview.h"
#include "limitspinbox.h"
#include "platform/safefile.h"

namespace parlane {

namespace {

constexpr int kTitleStripHeight = 26;
constexpr int kDialogWidth = 620;
constexpr int kPercentRange = 100;
const QSize kLogoThumbnailSize(160, 90);
const QColor kTitleStripColor(45, 52, 64);
const QColor kTitleTextColor(235, 238, 243);
const QColor kBodyTop(246, 247, 249);
const QColor kBodyBottom(226, 230, 235);
// Steps that keep what the script keeps aligned: even offsets, a width
// divisible by 4 and an even height.
constexpr int kLeftStep = 4;
constexpr int kTopStep = 2;
constexpr int kRightStep = 4;
constexpr int kBottomStep = 2;
const QString kLogoFilter =
    "Pictures (*.png *.jpg *.jpeg *.bmp *.gif *.tif *.tiff *.webp);;All files (*)";

QString timeText(int seconds) {
    return DurationSpinBox::clockText(seconds);
}

QSpinBox *pixelBox(const QString &name, int step) {
    auto *box = new LimitSpinBox;
    box->setObjectName(name);
    box->setSuffix(" px");
    box->setRange(0, 0);
    box->setSingleStep(step);
    // A typed value is taken to what the script keeps once it is complete,
    // not digit by digit.
    box->setKeyboardTracking(false);
    box->setToolTip("The conversion keeps even offsets, a width divisible by 4 and an even "
                    "height; the values move to what it keeps.");
    return box;
}

// A label that names its field to a screen reader too.
QLabel *labelFor(const QString &text, QWidget *field) {
    auto *label = new QLabel(text);
    label->setBuddy(field);
    return label;
}

bool sameFile(const QString &a, const QString &b) {
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

} // namespace

EditorDialog::EditorDialog(const EditRequest &request, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_request(request)
    , m_source(grabSourcePicture(request.file))
    , m_totalSeconds(wholeSeconds(m_source.durationSeconds))
    , m_saturation(request.saturation)
    , m_brightness(request.brightness)
    , m_contrast(request.contrast) {
    setWindowTitle(QString("Edit - %1").arg(QFileInfo(request.file).fileName()));
    setFixedWidth(kDialogWidth);

    m_preview = new FramePreview;
    m_preview->setObjectName("preview");
    m_preview->setPicture(m_source.frame, m_source.size, m_source.pixelAspect);

    auto *details = new QLabel;
    details->setObjectName("details");
    QStringList facts;
    if (m_source.size.isValid() && !m_source.size.isEmpty())
        facts << QString("%1 × %2").arg(m_source.size.width()).arg(m_source.size.height());
    facts << (m_totalSeconds > 0 ? timeText(m_totalSeconds) : QString("length unknown"));
    details->setText(QFileInfo(request.file).fileName() + "   " + facts.join(", "));
    details->setTextInteractionFlags(Qt::NoTextInteraction);

    m_tabs = new QTabWidget;
    m_tabs->setObjectName("tabs");
    m_tabs->addTab(buildCropPage(), "Crop");
    m_tabs->addTab(buildTrimPage(), "Trim");
    m_tabs->addTab(buildEffectsPage(), "Effects");
    m_tabs->addTab(buildLogoPage(), "Logo");
    m_tabs->setCurrentIndex(int(request.mode));

    auto *ok = new QPushButton("OK");
    ok->setObjectName("okButton");
    ok->setDefault(true);
    auto *cancel = new QPushButton("Cancel");
    cancel->setObjectName("cancelButton");
    connect(ok, &QPushButton::clicked, this, &EditorDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &EditorDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *body = new QVBoxLayout;
    body->setContentsMargins(10, 8, 10, 10);
    body->addWidget(m_preview, 1);
    body->addWidget(details);
    body->addWidget(m_tabs);
    body->addLayout(buttons);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildTitleStrip());
    root->addLayout(body);

    cropChanged();
    trimChanged();
    showTweak();
    showLogo();
}

QWidget *EditorDialog::buildTitleStrip() {
    auto *strip = new QWidget;
    strip->setFixedHeight(kTitleStripHeight);
    auto *title = new QLabel(windowTitle());
    title->setObjectName("titleLabel");
    QPalette palette = title->palette();
    palette.setColor(QPalette::WindowText, kTitleTextColor);
    title->setPalette(palette);
    // The strip drags the window: its label must leave mouse presses to us.
    title->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto *close = new QToolButton;
    close->setObjectName("closeButton");
    close->setText("×");
    close->setAutoRaise(true);
    close->setPalette(palette);
    close->setToolTip("Close without changes");
    close->setAccessibleName("Close");
    connect(close, &QToolButton::clicked, this, &EditorDialog::reject);

    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(10, 0, 4, 0);
    layout->addWidget(title);
    layout->addStretch();
    layout->addWidget(close);
    return strip;
}

QWidget *EditorDialog::buildCropPage() {
    auto *page = new QWidget;
    m_cropLeft = pixelBox("cropLeft", kLeftStep);
    m_cropTop = pixelBox("cropTop", kTopStep);
    m_cropRight = pixelBox("cropRight", kRightStep);
    m_cropBottom = pixelBox("cropBottom", kBottomStep);
    m_cropResult = new QLabel;
    m_cropResult->setObjectName("cropResult");

    auto *grid = new QGridLayout(page);
    grid->addWidget(labelFor("Left", m_cropLeft), 0, 0);
    grid->addWidget(m_cropLeft, 0, 1);
    grid->addWidget(labelFor("Right", m_cropRight), 0, 2);
    grid->addWidget(m_cropRight, 0, 3);
    grid->addWidget(labelFor("Top", m_cropTop), 1, 0);
    grid->addWidget(m_cropTop, 1, 1);
    grid->addWidget(labelFor("Bottom", m_cropBottom), 1, 2);
    grid->addWidget(m_cropBottom, 1, 3);
    grid->addWidget(m_cropResult, 2, 0, 1, 4);
    grid->setColumnStretch(4, 1);

    const bool knownSize = m_source.size.isValid() && !m_source.size.isEmpty();
    const CropMargins crop = fitCrop(m_request.crop, m_source.size);
    QSpinBox *const boxes[] = {m_cropLeft, m_cropTop, m_cropRight, m_cropBottom};
    const int values[] = {crop.left, crop.top, crop.right, crop.bottom};
    for (int i = 0; i < 4; ++i) {
        // Without a known size the values pass through as they came.
        boxes[i]->setRange(0, knownSize ? qMax(values[i], 0) : qMax(values[i], 99999));
        boxes[i]->setValue(values[i]);
        boxes[i]->setEnabled(knownSize || m_source.hasVideo);
        connect(boxes[i], &QSpinBox::valueChanged, this, &EditorDialog::cropChanged);
    }
    return page;
}

QWidget *EditorDialog::buildTrimPage() {
    auto *page = new QWidget;
    m_trimStart = new DurationSpinBox;
    m_trimStart->setObjectName("trimStart");
    m_trimLength = new DurationSpinBox;
    m_trimLength->setObjectName("trimLength");
    m_trimEnd = new QLabel;
    m_trimEnd->setObjectName("trimEnd");
    for (QSpinBox *edit : {m_trimStart, m_trimLength}) {
        edit->setWrapping(false);
        // Only then does a typed time beyond the limit go to the limit: while
        // tracking every digit, the digit that passes it is refused.
        edit->setKeyboardTracking(false);
    }

    const int total = m_totalSeconds > 0 ? m_totalSeconds : kUnknownDurationSeconds;
    const TrimRange range = trimRange(m_request.trimStart, m_request.trimEnd, m_totalSeconds);
    m_trimStart->setRange(0, total - 1);
    m_trimStart->setValue(range.start);
    m_trimLength->setRange(1, total - range.start);
    m_trimLength->setValue(range.length);
    connect(m_trimStart, &QSpinBox::valueChanged, this, &EditorDialog::trimChanged);
    connect(m_trimLength, &QSpinBox::valueChanged, this, &EditorDialog::trimChanged);

    auto *grid = new QGridLayout(page);
    grid->addWidget(labelFor("Start", m_trimStart), 0, 0);
    grid->addWidget(m_trimStart, 0, 1);
    grid->addWidget(labelFor("Length", m_trimLength), 1, 0);
    grid->addWidget(m_trimLength, 1, 1);
    grid->addWidget(m_trimEnd, 2, 0, 1, 2);
    grid->setColumnStretch(2, 1);
    return page;
}

QWidget *EditorDialog::buildEffectsPage() {
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    addEffectRow(grid, 0, "Saturation", "saturation", &m_saturation);
    addEffectRow(grid, 1, "Brightness", "brightness", &m_brightness);
    addEffectRow(grid, 2, "Contrast", "contrast", &m_contrast);
    auto *reset = new QPushButton("Reset");
    reset->setObjectName("effectsReset");
    connect(reset, &QPushButton::clicked, this, &EditorDialog::resetEffects);
    grid->addWidget(reset, 3, 2);
    return page;
}

void EditorDialog::addEffectRow(QGridLayout *grid, int row, const QString &label,
                                const QString &name, double *value) {
    auto *slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(name + "Slider");
    slider->setRange(-kPercentRange, kPercentRange);
    auto *spin = new LimitSpinBox;
    spin->setObjectName(name);
    spin->setRange(-kPercentRange, kPercentRange);
    spin->setSuffix(" %");
    const int shown = qRound(qBound(double(-kPercentRange), *value, double(kPercentRange)));
    slider->setValue(shown);
    spin->setValue(shown);

    // The value held is the one that came in until the user moves this row:
    // an untouched fraction such as 5.55556 goes back exactly as it came.
    connect(spin, &QSpinBox::valueChanged, this, [this, slider, value](int percent) {
        *value = percent;
        slider->setValue(percent);
        showTweak();
    });
    connect(slider, &QSlider::valueChanged, spin, &QSpinBox::setValue);

    // The slider and the box set the same value: both are named by the label.
    slider->setAccessibleName(label);
    grid->addWidget(labelFor(label, spin), row, 0);
    grid->addWidget(slider, row, 1);
    grid->addWidget(spin, row, 2);
    m_effects[row] = {slider, spin, value};
}

QWidget *EditorDialog::buildLogoPage() {
    auto *page = new QWidget;
    m_logoThumbnail = new QLabel;
    m_logoThumbnail->setObjectName("logoThumbnail");
    m_logoThumbnail->setFixedSize(kLogoThumbnailSize);
    m_logoThumbnail->setAlignment(Qt::AlignCenter);
    m_logoThumbnail->setFrameShape(QFrame::StyledPanel);
    m_logoName = new QLabel;
    m_logoName->setObjectName("logoName");
    m_logoName->setWordWrap(true);
    m_logoChoose = new QPushButton("Choose picture...");
    m_logoChoose->setObjectName("logoChoose");
    m_logoRemove = new QPushButton("Remove");
    m_logoRemove->setObjectName("logoRemove");
    connect(m_logoChoose, &QPushButton::clicked, this, &EditorDialog::chooseLogo);
    connect(m_logoRemove, &QPushButton::clicked, this, &EditorDialog::removeLogo);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(m_logoName);
    buttons->addWidget(m_logoChoose);
    buttons->addWidget(m_logoRemove);
    buttons->addStretch();
    auto *layout = new QHBoxLayout(page);
    layout->addWidget(m_logoThumbnail);
    layout->addLayout(buttons, 1);

    // Only a logo that was written for this file last time counts as set: an
    // answer without a logo cannot clear the main window's copy of the tail.
    if (!m_request.logoTail.isEmpty() && logoTargetUsable() &&
        QFileInfo::exists(m_request.logoTarget)) {
        const QImage stored(m_request.logoTarget);
        if (!stored.isNull()) {
            m_logoImage = stored;
            m_logoSource = logoPathFromTail(m_request.logoTail);
            if (m_logoSource.isEmpty())
                m_logoSource = m_request.logoTarget;
            m_logoAtStart = true;
        }
    }
    return page;
}

CropMargins EditorDialog::shownCrop() const {
    return {m_cropLeft->value(), m_cropTop->value(), m_cropRight->value(), m_cropBottom->value()};
}

void EditorDialog::cropChanged() {
    if (!m_source.size.isValid() || m_source.size.isEmpty()) {
        m_preview->setCrop(shownCrop());
        m_cropResult->setText(m_source.hasVideo ? "The picture size is unknown."
                                                : "This file has no picture to crop.");
        return;
    }
    // The boxes move to what the script keeps: the picture shown, its size
    // and the answer are then the conversion's.
    const CropMargins crop = scriptCrop(shownCrop(), m_source.size);
    const int width = m_source.size.width();
    const int height = m_source.size.height();
    // Each side may take what the opposite side leaves over.
    const int spareWidth = qMax(0, width - qMin(width, kMinPictureSide));
    const int spareHeight = qMax(0, height - qMin(height, kMinPictureSide));
    QSpinBox *const boxes[] = {m_cropLeft, m_cropTop, m_cropRight, m_cropBottom};
    const int values[] = {crop.left, crop.top, crop.right, crop.bottom};
    const int maxima[] = {spareWidth - crop.right, spareHeight - crop.bottom,
                          spareWidth - crop.left, spareHeight - crop.top};
    for (int i = 0; i < 4; ++i) {
        const QSignalBlocker blocker(boxes[i]);
        boxes[i]->setMaximum(qMax(0, qMax(maxima[i], values[i])));
        boxes[i]->setValue(values[i]);
    }
    m_preview->setCrop(crop);
    m_cropResult->setText(QString("Picture after cropping: %1 × %2")
                              .arg(width - crop.left - crop.right)
                              .arg(height - crop.top - crop.bottom));
}

void EditorDialog::trimChanged() {
    const int total = m_totalSeconds > 0 ? m_totalSeconds : kUnknownDurationSeconds;
    const int start = m_trimStart->value();
    m_trimLength->setMaximum(qMax(1, total - start));
    const int end = start + m_trimLength->value();
    m_trimEnd->setText(
        m_totalSeconds > 0
            ? QString("Ends at %1 of %2").arg(timeText(end), timeText(total))
            : QString("Ends at %1 (the length of the file is unknown)").arg(timeText(end)));
}

void EditorDialog::resetEffects() {
    for (const EffectControl &effect : m_effects) {
        effect.spin->setValue(0);
        *effect.value = 0;
    }
    showTweak();
}

void EditorDialog::showTweak() {
    m_preview->setTweak(OutputLook::tweakFromPercent(m_saturation, m_brightness, m_contrast));
}

bool EditorDialog::logoTargetUsable() const {
    return !m_request.logoTarget.isEmpty() && !sameFile(m_request.logoTarget, m_request.file);
}

void EditorDialog::chooseLogo() {
    const QString start = m_logoSource.isEmpty() ? QFileInfo(m_request.file).absolutePath()
                                                 : QFileInfo(m_logoSource).absolutePath();
    const QString path =
        QFileDialog::getOpenFileName(this, "Choose a logo picture", start, kLogoFilter);
    if (path.isEmpty())
        return;
    if (!setLogoPicture(path))
        QMessageBox::warning(
            this, windowTitle(),
            QString("\"%1\" cannot be read as a picture.").arg(QFileInfo(path).fileName()));
}

bool EditorDialog::setLogoPicture(const QString &path) {
    if (!logoTargetUsable())
        return false;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage picture = reader.read();
    if (picture.isNull())
        return false;
    m_logoImage = picture;
    m_logoSource = QFileInfo(path).absoluteFilePath();
    m_logoChanged = true;
    showLogo();
    return true;
}

void EditorDialog::removeLogo() {
    m_logoImage = QImage();
    m_logoSource.clear();
    m_logoChanged = true;
    showLogo();
}

void EditorDialog::showLogo() {
    m_preview->setLogo(m_logoImage);
    const bool usable = logoTargetUsable();
    m_logoChoose->setEnabled(usable);
    m_logoRemove->setEnabled(!m_logoImage.isNull());
    if (!usable) {
        m_logoThumbnail->clear();
        m_logoName->setText("No place for a logo picture was given for this file.");
        return;
    }
    if (m_logoImage.isNull()) {
        m_logoThumbnail->setText("No logo");
        m_logoName->setText("Choose a picture to lay over the top-left corner of the video, "
                            "at its own size.");
        return;
    }
    m_logoThumbnail->setPixmap(QPixmap::fromImage(
        m_logoImage.scaled(kLogoThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    m_logoName->setText(QString("%1 (%2 × %3)")
                            .arg(QFileInfo(m_logoSource).fileName())
                            .arg(m_logoImage.width())
                            .arg(m_logoImage.height()));
}

bool EditorDialog::writeLogo(QString *error) {
    if (m_logoImage.isNull()) {
        // The user took the logo away: without the picture no later launch
        // takes the main window's remembered tail for a logo.
        if (m_logoAtStart && m_logoChanged)
            QFile::remove(m_request.logoTarget);
        return true;
    }
    if (!m_logoChanged && QFileInfo::exists(m_request.logoTarget))
        return true;
    // Made whole in memory first: the picture reaches its file checked, or
    // the old one stays.
    QBuffer picture;
    picture.open(QIODevice::WriteOnly);
    if (!m_logoImage.save(&picture, "PNG")) {
        *error = picture.errorString();
        return false;
    }
    return SafeFile::replace(m_request.logoTarget, picture.data(), error);
}

EditAnswer EditorDialog::answer() const {
    EditAnswer answer;
    answer.trim.start = m_trimStart->value();
    answer.trim.length = m_trimLength->value();
    answer.crop = shownCrop();
    answer.saturation = m_saturation;
    answer.brightness = m_brightness;
    answer.contrast = m_contrast;
    if (!m_logoImage.isNull())
        answer.logoPicture = m_logoSource;
    return answer;
}

void EditorDialog::accept() {
    QString error;
    if (!writeLogo(&error)) {
        QMessageBox::warning(this, windowTitle(),
                             QString("The logo picture could not be written to \"%1\" (%2).")
                                 .arg(QDir::toNativeSeparators(m_request.logoTarget), error));
        return;
    }
    m_answerText = parlane::answerText(answer());
    QDialog::accept();
}

void EditorDialog::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    QLinearGradient body(0, kTitleStripHeight, 0, height());
    body.setColorAt(0, kBodyTop);
    body.setColorAt(1, kBodyBottom);
    painter.fillRect(rect(), body);
    painter.fillRect(QRect(0, 0, width(), kTitleStripHeight), kTitleStripColor);
    painter.setPen(kTitleStripColor);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void EditorDialog::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton || event->position().y() >= kTitleStripHeight) {
        QDialog::mousePressEvent(event);
        return;
    }
    // The window system moves the window where it can (Wayland allows
    // nothing else); elsewhere the window follows the mouse itself.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void EditorDialog::mouseMoveEvent(QMouseEvent *event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
    else
        QDialog::mouseMoveEvent(event);
}

void EditorDialog::mouseReleaseEvent(QMouseEvent *event) {
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}

} // namespace parlane
