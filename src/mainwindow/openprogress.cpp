#include "openprogress.h"

#include "ui_openprogress.h"

#include <QKeyEvent>

#include "app/focusmark.h"
#include "app/skin.h"
#include "app/skinneddialog.h"

namespace {

const QString kSkinPicture = QStringLiteral("skins/default/Progress.png");
constexpr int kCountdownSeconds = 30;
constexpr int kTickMs = 1000;
const QPoint kCountdownLabelPlace{30, 60};
const QPoint kProgressLabelPlace{10, 90};
// Beside Cancel, which an add shows at the label's right end.
constexpr int kAddingLabelWidth = 295;

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

void openProgress::showAdding()
{
    adding = true;
    ui->labelFileNum->resize(kAddingLabelWidth, ui->labelFileNum->height());
    ui->pushButtonCancel->show();
    show();
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

void openProgress::setText(const QString &text)
{
    ui->labelFileNum->setText(text);
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
    if (adding) {
        Q_EMIT cancelled();
        return;
    }
    endCountdown();
    reject();
}

void openProgress::on_closeButton_clicked()
{
    if (adding)
        Q_EMIT cancelled();
    close();
}

void openProgress::keyPressEvent(QKeyEvent *event)
{
    if (adding && event->key() == Qt::Key_Escape)
        Q_EMIT cancelled();
    QDialog::keyPressEvent(event);
}

void openProgress::hideEvent(QHideEvent *event)
{
    adding = false;
    ui->pushButtonCancel->hide();
    QDialog::hideEvent(event);
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
