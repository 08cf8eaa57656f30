#include "updateprogressdialog.h"

#include <climits>

namespace skelbrin {

namespace {

// A check that answers at once shows no window before its result.
constexpr int kShowAfterMs = 500;
// QProgressDialog counts in int: an installer's bytes may not fit.
constexpr int kSteps = 1000;

} // namespace

UpdateProgressDialog::UpdateProgressDialog(UpdateCheck *check, QWidget *parent)
    : QProgressDialog(parent), m_check(check) {
    setWindowTitle("Quillora update");
    setCancelButtonText("Cancel");
    // The run decides when the window goes, not the bar reaching its end.
    setAutoClose(false);
    setAutoReset(false);
    // QProgressDialog would show itself after its own delay; ours is below.
    setMinimumDuration(INT_MAX);
    showProgress(UpdateCheck::Stage::Checking, 0, -1);

    connect(check, &UpdateCheck::progress, this, &UpdateProgressDialog::showProgress);
    connect(check, &UpdateCheck::finished, this, [this] {
        m_showTimer.stop();
        hide();
    });
    connect(this, &QProgressDialog::canceled, check, &UpdateCheck::cancel);

    m_showTimer.setSingleShot(true);
    connect(&m_showTimer, &QTimer::timeout, this, &QWidget::show);
    m_showTimer.start(kShowAfterMs);
}

void UpdateProgressDialog::showProgress(UpdateCheck::Stage stage, qint64 received, qint64 total) {
    if (stage == UpdateCheck::Stage::Checking) {
        setLabelText("Checking for a newer version of Quillora...");
    } else {
        setLabelText(QString("Downloading the installer of Quillora %1...\n%2 KB received")
                         .arg(m_check->newestVersion())
                         .arg(received / 1024));
    }
    if (total <= 0) {
        // A busy bar until the size is known.
        setRange(0, 0);
        return;
    }
    setRange(0, kSteps);
    setValue(int(qMin(received, total) * kSteps / total));
}

} // namespace skelbrin
