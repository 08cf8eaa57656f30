#pragma once

#include <functional>

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>

#include "conversion/conversioncontroller.h"
#include "conversion/editoranswer.h"
#include "filelist/proberesult.h"
#include "filelist/sourcestamp.h"

class EditorSession;
class MainWindow;
class QTimer;
class QTreeWidgetItem;

namespace Ui { class MainWindow; }

// The window's side of the two tools a row is handed to: the conversion run
// of the checked rows (Convert, Pause and Stop, and what the run tells: each
// row's status and bar, the total progress line, the look of a pause and of a
// wait for the folders) and the editor tool's round trip on the current row.
// While one of them works it holds the rows and the controls that act on
// them; what of that is the window's own, the window gives up and takes back
// through the hooks.
class JobControls : public QObject
{
    Q_OBJECT

public:
    struct WindowHooks {
        // Files being added, a run or the editor hold the rows.
        std::function<bool()> rowsLocked;
        // Whether picking a row loads its options into the boxes: not while
        // a run lasts.
        std::function<void(bool follow)> followSelection;
        // The check-all box once a run's finished rows are unchecked.
        std::function<void()> showRowsUnchecked;
        // A problem told without stopping the flow that met it.
        std::function<void(const QString &text)> problem;
        // What a job's start needs of the window: the free output name and
        // the row's output path (the rest is this class's own).
        ConversionController::WindowHooks run;
    };

    // listPoll: the window's interface poll, which hands the controls to the
    // checked rows; shutdownTimer: its countdown after a run.
    JobControls(MainWindow &window, QTimer &listPoll, QTimer &shutdownTimer, WindowHooks hooks);

    ConversionController &conversion() { return controller; }
    EditorSession &editorSession() { return *editor; }

    // Convert: once the files being added are rows and the rows' names are
    // known, the checked rows' folders are looked at, then the run starts.
    void convert();
    // Stop: the run, or a Convert still waiting for the rows' names.
    void stopRun();
    // Pause and Continue: the transcoder held, or let go on.
    void pauseOrContinue();
    // The editor tool on the current row; mode: "0" all, "1" trim, "2" effects.
    void edit(const QString &mode);

private:
    void connectConversion();
    void connectEditorSession();
    void beginRun();
    void rollBackRunStart();
    // Convert waits while the rows' names or its folders are looked at: told,
    // and Stop ends the wait.
    void showFolderCheck(bool checking);
    void showPauseAnswer(bool held);
    void showJobEnd(const JobEnd &end);
    void showRunProgress(const ProgressUpdate &update);
    void showRunStopped(bool transcoderEnding);
    void finishRun(const QList<int> &rowsToUncheck);
    // The controls a run took, given back when it ends or is stopped.
    void restoreRunControls();
    void armShutdown();
    void giveControlsBackFromEditor();
    // A source changed since its probe, probed again: true when its row now
    // shows the new probe.
    bool reprobeChangedSource(QTreeWidgetItem *row, const SourceStamp &now,
                              const QByteArray &probeText);
    void showReprobedSource(QTreeWidgetItem *row, const ProbeResult &result, qint64 bytes);
    EditorRow editorRowFor(const QTreeWidgetItem *row) const;

    MainWindow &window;
    Ui::MainWindow *ui;
    QTimer &listPoll;
    QTimer &shutdownTimer;
    WindowHooks hooks;
    ConversionController controller;
    EditorSession *editor = nullptr;
    // A Convert that waits for the rows' names.
    QMetaObject::Connection convertWhenNamed;
};
