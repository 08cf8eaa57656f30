// MainWindow's conversion runs and the editor tool: the Convert, pause and stop buttons and the
// editor's three, handed to JobControls, and the old names of the tools' readers.

#include "mainwindow.h"

#include <QCheckBox>

#include "conversion/editorsession.h"
#include "filelist/outputnaming.h"
#include "mainwindow/jobcontrols.h"

void MainWindow::connectJobControls()
{
    JobControls::WindowHooks hooks;
    hooks.rowsLocked = [this] { return rowsLocked(); };
    hooks.followSelection = [this](bool follow) {
        if (follow)
            connectSelectionHandler();
        else
            disconnectSelectionHandler();
    };
    hooks.showRowsUnchecked = [this] { checkAllBox->setCheckState(Qt::Unchecked); };
    hooks.problem = [this](const QString &text) { showProblem(text); };
    hooks.run.freeOutputCheck = [this](const QTreeWidgetItem *row) {
        return naming->freeNameCheck(row);
    };
    hooks.run.setRowOutputPath = [this](QTreeWidgetItem *row, const QString &path) {
        setRowOutputPath(row, path);
    };
    jobs = new JobControls(*this, uiPollTimer, shutdownTimer, std::move(hooks));
}

ConversionController &MainWindow::conversion()
{
    return jobs->conversion();
}

EditorSession &MainWindow::editorSession()
{
    return jobs->editorSession();
}

void MainWindow::on_ConvertePushButton_clicked()
{
    jobs->convert();
}

void MainWindow::on_StopConvertePushButton_clicked()
{
    jobs->stopRun();
}

void MainWindow::on_PausePushButton_clicked()
{
    jobs->pauseOrContinue();
}

void MainWindow::on_PauseContinue_clicked()
{
    jobs->pauseOrContinue();
}

void MainWindow::on_editVideo_clicked()
{
    jobs->edit(QStringLiteral("0"));
}

void MainWindow::on_editVideo_Trim_clicked()
{
    jobs->edit(QStringLiteral("1"));
}

void MainWindow::on_editVideo_Effect_clicked()
{
    jobs->edit(QStringLiteral("2"));
}

void MainWindow::outputCommand()
{
    jobs->conversion().readTranscoderOutput();
}

void MainWindow::slotTimer()
{
    jobs->conversion().tick();
}

void MainWindow::pauseCommand()
{
    jobs->conversion().readPauseListing();
}

void MainWindow::output()
{
    jobs->editorSession().readAnswer();
}
