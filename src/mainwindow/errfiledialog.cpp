#include "errfiledialog.h"

#include "ui_errfiledialog.h"

#include <QTextCursor>
#include <QTextDocument>

errFiledialog::errFiledialog(QWidget *parent)
    : SkinnedDialog(QStringLiteral("skins/default/errorBackground.png"), RefreshOnPaint, parent)
    , ui(new Ui::errFiledialog)
{
    ui->setupUi(this);
    ui->buttonBox->hide();
    // Enter closes the report as OK does; the hidden box's buttons would
    // otherwise take it and do nothing.
    ui->pushButtonOK->setDefault(true);
    applySkin();
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
