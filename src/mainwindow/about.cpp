#include "about.h"

#include "ui_about.h"

#include <QKeyEvent>

#include "app/version.h"
#include "platform/platform.h"

about::about(QWidget *parent)
    : SkinnedDialog(QStringLiteral("skins/default/register.png"), RefreshOnPaint, parent)
    , ui(new Ui::about)
{
    ui->setupUi(this);
    setWindowTitle(tr("About"));
    ui->labelProductName->setText(QLatin1String(kProductName));
    ui->labelProductName2->setText(QLatin1String(kProductName));
    ui->labeltext->setText(QLatin1String(kProductName));
    applySkin();
    setVersion(QString());
    // The links are Tab stops of their own, marked as any control is. Left
    // to the labels, the keyboard would pick the link out inside them, and
    // Tab would never leave a label whose link was followed.
    for (QLabel *link : {ui->labelSupport, ui->labelHomePage}) {
        link->setFocusPolicy(Qt::TabFocus);
        link->installEventFilter(this);
    }
}

bool about::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress &&
        (watched == ui->labelSupport || watched == ui->labelHomePage)) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            Platform::openUrl(QLatin1String(kHomePageUrl));
            return true;
        }
    }
    return SkinnedDialog::eventFilter(watched, event);
}

about::~about()
{
    delete ui;
}

void about::setVersion(const QString &version)
{
    ui->labelVersion->setText(QStringLiteral("Version: ")
                              + (version.isEmpty() ? QLatin1String(kProductVersion) : version));
}

void about::on_labelHomePage_linkActivated(const QString &)
{
    Platform::openUrl(QLatin1String(kHomePageUrl));
}

void about::on_labelSupport_linkActivated(const QString &)
{
    Platform::openUrl(QLatin1String(kHomePageUrl));
}

void about::on_closeBun_clicked()
{
    close();
}
