#include "startdlg.h"

#include "ui_startdlg.h"

#include "app/skin.h"
#include "app/version.h"

startdlg::startdlg(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::startdlg)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    setWindowTitle(tr("Loading"));
    ui->labelVersion->setText(QStringLiteral("Version: \n") + QLatin1String(kProductVersion));
    applyBackground();
}

startdlg::~startdlg()
{
    delete ui;
}

void startdlg::setInitText(const QString &name)
{
    ui->label->setText(QStringLiteral("Initializing: ") + name);
}

void startdlg::paintEvent(QPaintEvent *)
{
    applyBackground();
}

void startdlg::applyBackground()
{
    Skin::apply(this, QStringLiteral("skins/default/loading.png"));
}
