#include "openprogress.h"

#include "ui_openprogress.h"

#include "app/focusmark.h"
#include "app/skin.h"
#include "app/skinneddialog.h"

namespace {

const QString kSkinPicture = QStringLiteral("skins/default/Progress.png");
constexpr int kCountdownSeconds = 30;
constexpr int kTickMs = 1000;
const QPoint kCountdownLabelPlace{30, 60};
const QPoint kProgressLabelPlace{10, 90};

QString countdownText(int seconds)
{
    return openProgress::tr("Your Systems will shut down in %1 seconds.").arg(seconds);
}

} // namespace

openProgress::openProgress(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::openProgress)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    new FocusMark(this);
    ui->pushButtonCancel->hide();
    ui->pushButtonShutDown->hide();
    setWindowTitle(tr("Open"));
    Skin::apply(this, kSkinPicture);
}

openProgress::~openProgress()
{
    delete ui;
}

int openProgress::value() const
{
    return ui->progressBarFileNum->value();
}

void openProgress::setValue(int value)
{
    ui->progressBarFileNum->setValue(value);
}

void openProgress::setRange(int minimum, int maximum)
{
    ui->progressBarFileNum->setRange(minimum, maximum);
}

void openProgress::setFileName(const QString &name)
{
    ui->labelFileNum->setText(tr("Add file: ") + name);
}

void openProgress::startShutdownCountdown()
{
    ui->progressBarFileNum->hide();
    ui->labeltext->setText(tr("ShutDown"));
    ui->labelFileNum->move(kCountdownLabelPlace);
    ui->pushButtonCancel->show();
    ui->pushButtonShutDown->show();
    countdown = kCountdownSeconds;
    ui->labelFileNum->setText(countdownText(countdown));
    // The first tick comes as soon as exec() runs its loop; it repeats the
    // full count, and every later tick comes a second after the one before.
    countdownTimer.start();
    connect(&countdownTimer, &QTimer::timeout, this, &openProgress::sdTimerSD,
            Qt::UniqueConnection);
}

void openProgress::sdTimerSD()
{
    countdownTimer.stop();
    ui->labelFileNum->setText(countdownText(countdown));
    if (countdown < 0) {
        on_pushButtonShutDown_clicked();
        return;
    }
    --countdown;
    countdownTimer.start(kTickMs);
}

void openProgress::endCountdown()
{
    ui->labeltext->setText(tr("Open"));
    ui->labelFileNum->move(kProgressLabelPlace);
    ui->labelFileNum->clear();
    countdownTimer.stop();
    ui->pushButtonCancel->hide();
    ui->pushButtonShutDown->hide();
}

void openProgress::on_pushButtonShutDown_clicked()
{
    endCountdown();
    accept();
}

void openProgress::on_pushButtonCancel_clicked()
{
    endCountdown();
    reject();
}

void openProgress::on_closeButton_clicked()
{
    close();
}

void openProgress::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    SkinnedDialog::centreOnParent(this);
    if (QWidget *first = SkinnedDialog::firstField(this))
        first->setFocus(Qt::OtherFocusReason);
}

void openProgress::paintEvent(QPaintEvent *)
{
    Skin::apply(this, kSkinPicture);
}
