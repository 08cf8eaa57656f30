#include "foldergonequestion.h"

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>

#include "app/version.h"

namespace FolderGoneQuestion {

bool ask(QWidget *parent, const QString &folder)
{
    const QString text =
        QCoreApplication::translate("MainWindow",
                                    "The folder %1 is not there any more. It may be on a drive "
                                    "or a network share that is not connected now.\n\nMake the "
                                    "folder again, or stop with nothing written?")
            .arg(QDir::toNativeSeparators(QDir::cleanPath(folder)));
    QMessageBox box(QMessageBox::Question, QLatin1String(kProductName), text,
                    QMessageBox::NoButton, parent);
    QPushButton *make = box.addButton(
        QCoreApplication::translate("MainWindow", "Make It Again"), QMessageBox::AcceptRole);
    QPushButton *stop =
        box.addButton(QCoreApplication::translate("MainWindow", "Stop"), QMessageBox::RejectRole);
    box.setDefaultButton(stop);
    box.setEscapeButton(stop);
    box.exec();
    return box.clickedButton() == make;
}

} // namespace FolderGoneQuestion
