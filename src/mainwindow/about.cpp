#include "about.h"

#include "ui_about.h"

#include <QMouseEvent>

#include "app/skin.h"
#include "app/version.h"
#include "app/windowdrag.h"
#include "platform/platform.h"

about::about(QWidget *parent)
    : QDialog(parent)
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

void about::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        dragOrigin = event->position().toPoint();
        WindowDrag::begin(this, dragOrigin, WindowDrag::titleStripDrags(dragOrigin));
    }
}

void about::mouseMoveEvent(QMouseEvent *event)
{
    if (WindowDrag::titleStripDrags(dragOrigin))
        WindowDrag::follow(this, event->globalPosition().toPoint() - dragOrigin);
}

void about::paintEvent(QPaintEvent *)
{
    applySkin();
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

void about::applySkin()
{
    Skin::apply(this, QStringLiteral("skins/default/register.png"));
}
