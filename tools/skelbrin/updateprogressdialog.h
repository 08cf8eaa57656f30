#pragma once

#include <QProgressDialog>
#include <QTimer>

#include "updatecheck.h"

namespace skelbrin {

// Shows in window mode what the update tool is doing, and lets the user stop
// it. It appears only when the run takes longer than a moment, and closes
// itself when the run ends.
class UpdateProgressDialog : public QProgressDialog {
    Q_OBJECT

public:
    explicit UpdateProgressDialog(UpdateCheck *check, QWidget *parent = nullptr);

private:
    void showProgress(UpdateCheck::Stage stage, qint64 received, qint64 total);

    UpdateCheck *m_check;
    QTimer m_showTimer;
};

} // namespace skelbrin
