#include "about.h"

#include "ui_about.h"

#include "app/version.h"
#include "platform/platform.h"

about::about(QWidget *parent)
    : SkinnedDialog(QStringLiteral("skins/default/register.png"), RefreshOnPaint, parent)
    , ui(new Ui::about)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    setWindowTitle(tr("About"));
    ui->labelProductName->setText(QLatin1String(kProductName));
    ui->labelProductName2->setText(QLatin1String(kProductName));
    ui->labeltext->setText(QLatin1String(kProductName));
    applySkin();
    setVersion(QString());
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
