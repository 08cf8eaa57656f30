#include "errfiledialog.h"

#include "ui_errfiledialog.h"

#include <QMouseEvent>
#include <QTextCursor>
#include <QTextDocument>

#include "app/skin.h"
#include "app/windowdrag.h"

namespace {

const QString kSkinPicture = QStringLiteral("skins/default/errorBackground.png");

} // namespace

errFiledialog::errFiledialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::errFiledialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    ui->buttonBox->hide();
    Skin::apply(this, kSkinPicture);
}

errFiledialog::~errFiledialog()
{
    delete ui;
}

void errFiledialog::setAddedCount(int count)
{
    ui->successLabel->setText(tr("Total %1 file(s) be added in filelist.").arg(count));
}

void errFiledialog::setFailedFiles(const QStringList &files)
{
    // Inserted as plain text: a file name may hold "<" or "&", which the
    // browser's append() would take for markup.
    QTextCursor cursor(ui->errortextBrowser->document());
    for (const QString &file : files) {
        cursor.movePosition(QTextCursor::End);
        if (!ui->errortextBrowser->document()->isEmpty())
            cursor.insertBlock();
        cursor.insertText(file);
    }
    ui->errorLabel->setText(
        tr("The following %1 file(s) can't be added in filelist.").arg(files.size()));
}

void errFiledialog::clearErrorList()
{
    ui->errortextBrowser->clear();
}

void errFiledialog::on_pushButtonOK_clicked()
{
    accept();
}

void errFiledialog::on_pushButtonCancel_clicked()
{
    reject();
}

void errFiledialog::on_closeButton_clicked()
{
    close();
}

void errFiledialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        dragAnchor = event->position().toPoint();
        WindowDrag::begin(this, dragAnchor, WindowDrag::titleStripDrags(dragAnchor));
    }
}

void errFiledialog::mouseMoveEvent(QMouseEvent *event)
{
    if (WindowDrag::titleStripDrags(dragAnchor))
        WindowDrag::follow(this, event->globalPosition().toPoint() - dragAnchor);
}

void errFiledialog::paintEvent(QPaintEvent *)
{
    Skin::apply(this, kSkinPicture);
}
