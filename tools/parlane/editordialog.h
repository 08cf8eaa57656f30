#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>

#include "editanswer.h"
#include "editrequest.h"
#include "framegrabber.h"

class QGridLayout;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace parlane {

class FramePreview;

// The editor window: one file, four pages (crop, trim, effects, logo), OK
// and Cancel. Frameless; dragged by its title strip.
class EditorDialog : public QDialog {
    Q_OBJECT

public:
    explicit EditorDialog(const EditRequest &request, QWidget *parent = nullptr);

    // The values as the pages show them now.
    EditAnswer answer() const;
    // The text for standard error; set once OK went through.
    QString answerText() const { return m_answerText; }

    // Takes the picture as the logo; false when it cannot be read.
    bool setLogoPicture(const QString &path);
    void removeLogo();

public slots:
    void accept() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    struct EffectControl {
        QSlider *slider = nullptr;
        QSpinBox *spin = nullptr;
        double *value = nullptr;
    };

    QWidget *buildTitleStrip();
    QWidget *buildCropPage();
    QWidget *buildTrimPage();
    QWidget *buildEffectsPage();
    QWidget *buildLogoPage();
    void addEffectRow(QGridLayout *grid, int row, const QString &label, const QString &name,
                      double *value);

    CropMargins shownCrop() const;
    void cropChanged();
    void trimChanged();
    void resetEffects();
    void showTweak();
    void chooseLogo();
    void showLogo();
    bool logoTargetUsable() const;
    bool writeLogo(QString *error);

    EditRequest m_request;
    SourcePicture m_source;
    int m_totalSeconds = 0;

    double m_saturation = 0;
    double m_brightness = 0;
    double m_contrast = 0;
    EffectControl m_effects[3];

    QImage m_logoImage;
    QString m_logoSource;
    bool m_logoChanged = false;
    bool m_logoAtStart = false;

    QString m_answerText;
    bool m_dragging = false;
    QPoint m_dragOffset;

    FramePreview *m_preview = nullptr;
    QTabWidget *m_tabs = nullptr;
    QSpinBox *m_cropLeft = nullptr;
    QSpinBox *m_cropTop = nullptr;
    QSpinBox *m_cropRight = nullptr;
    QSpinBox *m_cropBottom = nullptr;
    QLabel *m_cropResult = nullptr;
    QSpinBox *m_trimStart = nullptr;
    QSpinBox *m_trimLength = nullptr;
    QLabel *m_trimEnd = nullptr;
    QLabel *m_logoThumbnail = nullptr;
    QLabel *m_logoName = nullptr;
    QPushButton *m_logoChoose = nullptr;
    QPushButton *m_logoRemove = nullptr;
};

} // namespace parlane
