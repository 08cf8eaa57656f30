#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include "conversion/conversionrun.h"
#include "conversion/editoranswer.h"
#include "conversion/transcoderjob.h"
#include "conversion/probeparser.h"
#include "filelist/folderwork.h"
#include "filelist/outputpaths.h"
#include "mainwindow/errfiledialog.h"
#include "mainwindow/openprogress.h"
#include "filelist/probepool.h"
#include "filelist/sourcestamp.h"
#include "mainwindow/videoinfo.h"
#include "mainwindow/about.h"
#include "mainwindow/snapshotchoices.h"
#include "settingsdialog/settingdialog.h"

class QCheckBox;
class QComboBox;
class QMenu;
class QTreeWidgetItem;
class TakenPaths;

namespace Ui {
class MainWindow;
}

namespace OptionRules {
struct RowState;
struct SlotEffect;
}

// The program's one top-level window and the owner of nearly all of its
// run-time state. Its slots are thin: they read the widgets, call the
// subsystems' own classes and write the result back.
class MainWindow : public QMainWindow
{
    Q_OBJECT
    friend class tst_MainWindow;
    friend class tst_AddFiles;
    friend class tst_ListOperations;
    friend class tst_PreviewControls;
    friend class tst_ProfileSlots;
    friend class tst_RunConversions;
    friend class tst_WindowChrome;
    friend class AddFilesBench;

    // -----------------------------------------------------------------------
    // Construction and destruction, connections, timers, menus and the control
    // switches every part uses: mainwindow.cpp.
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    Ui::MainWindow *form() const { return ui; }
    SnapshotChoices &snapshotChoices() { return snapshots; }

    // Time text: hours (at least two digits), minutes and seconds.
    static QString formatDuration(int seconds);

    // Effect value scales between the editor's percent and the script's units.
    static QString levelToPercent(const QString &value);
    static QString gainToPercent(const QString &value);
    static QString percentToLevel(const QString &value);
    static QString percentToGain(const QString &value);

    // Control groups that are switched together.
    void setMainControlsEnabled(bool enabled);
    void setJobControlsEnabled(bool enabled);
    void resetFileTreeFlags();

public Q_SLOTS:
    // A later start of the program handed us its message.
    void receiveMessage(const QString &message);
    void opentime();

private:
    void buildSystemMenu();
    void buildSnapshotMenu();
    void setUpFileList();
    void loadAvsPlugins();

    // -----------------------------------------------------------------------
    // Window chrome, system menu and close path: mainwindowchrome.cpp.
Q_SIGNALS:
    // Declared for the old table widget; nothing emits it.
    void setMove();

public Q_SLOTS:
    // Window chrome, system menu and folders.
    void on_actionExit_X_triggered();
    void on_sysInfo_clicked();
    void on_minimaziAll_clicked();
    void on_closeAll_clicked();
    void on_openPushButton_clicked();
    void on_MoveUpButton_clicked();
    void on_MoveDownButton_clicked();
    void on_tableWidget_currentCellChanged(int currentRow, int currentColumn, int previousRow,
                                           int previousColumn);
    void on_tableWidget_customContextMenuRequested(const QPoint &pos);
    void item_selectChanged();
    void updateFileName(int row, int column);
    void supportFun();
    void homepage();
    void aboutFun();
    void openSnapshotFolder();
    void preferenceFun();
    void checkupFun();
    void updateTimer();
    void shutTimer();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Empties a folder tree; false when `path` is not an existing folder.
    bool purgeDirectory(const QString &path);

    // -----------------------------------------------------------------------
    // Conversion runs and the editor tool: mainwindowrun.cpp.
public Q_SLOTS:
    // Conversion runs and the editor tool.
    void on_ConvertePushButton_clicked();
    void on_StopConvertePushButton_clicked();
    void on_PausePushButton_clicked();
    void on_PauseContinue_clicked();
    void on_editVideo_clicked();
    void on_editVideo_Trim_clicked();
    void on_editVideo_Effect_clicked();
    void outputCommand();
    void slotTimer();
    void pauseCommand();
    void output();

private:
    // The running-conversions side of the transcoder's text (progress mode).
    void followJobOutput(const QByteArray &text);
    // A run's jobs: their launch, their end, and the end of the run.
    QVector<RunRow> runRows() const;
    // A job's start: its folder is looked at away from this thread (it may
    // be on a share that hangs), and the job starts from the answer.
    void launchJob(const TickDecision &decision);
    void takeJobCounters(const TickDecision &decision);
    void checkJobFolder(int row, bool mayMake);
    struct JobStartFacts {
        OutputPaths::FolderState state = OutputPaths::FolderState::Unusable;
        QString problem;
        QString freeOutput;  // empty: every numbered name is taken
        SourceStamp sourceNow;
    };
    void jobFolderChecked(int row, const JobStartFacts &facts);
    void startJob(int row, const JobStartFacts &facts);
    void refuseJobFolder(const QString &problem);
    // Folders the user chose: asked about before one that has gone is made
    // again; the default folders are made without a word.
    bool mayMakeUnasked(const QString &folder) const;
    bool askToMakeFolderAgain(const QString &folder);
    bool readyOutputFolders(const QStringList &outputPaths);
    // The ended job's part file, removed in the background.
    void settleJobPartFile(bool jobFailed);
    void transcoderFinished(int exitCode, QProcess::ExitStatus status);
    void transcoderFailed(QProcess::ProcessError error);
    void showJobEnd(const JobEnd &end);
    void showRunProgress(const ProgressUpdate &update);
    void followSavedOutput(int row, const QString &fileName);
    void checkOutputDriveInBackground();
    void stopRun(ConversionRun::StopReason reason);
    void finishRun(const TickDecision &decision);
    void armShutdown();
    // Pause: the suspender's process listing, read by pauseCommand.
    void listProcessesForPause();
    void stopPauseListing();
    // The editor's answer into the row and its script.
    void storeEditorAnswer(const EditorAnswer &answer, QTreeWidgetItem *row);
    EditorRow editorRowFor(const QTreeWidgetItem *row) const;
    // A job that reads its row's script finds it (written again when it is
    // missing or its source changed), or the reason it cannot.
    QString restoreEditScript(const QTreeWidgetItem *row, bool sourceChanged) const;
    void rollBackRunStart(int previousRunMode);
    void launchEditor(const QString &mode);
    void editorFinished(int exitCode, QProcess::ExitStatus status);
    void editorFailed(QProcess::ProcessError error);
    void giveControlsBackFromEditor();

    // -----------------------------------------------------------------------
    // The file list: mainwindowlist.cpp.
public:
    // Adding files: what the open dialog does with the paths the user picked,
    // and what a drop does with its URLs. Both probe every file, list the
    // media and report the rest in the add-result dialog.
    void addPickedFiles(const QStringList &paths);
    void addDroppedUrls(const QList<QUrl> &urls);

    // The checked rows, as a run plans and ends itself: the index of the last
    // checked row (0 when none is checked), and the sum of the checked rows'
    // source durations in seconds.
    int lastCheckedRow() const;
    int totalCheckedDuration() const;

public Q_SLOTS:
    // The file list.
    void on_actionOpen_triggered();
    void on_actionRemove_del_triggered();
    void on_AddFile_clicked();
    void on_DeleteButton_clicked();
    void on_DeleteAllButton_clicked();
    void on_DelFile_clicked();
    void on_CleanFile_clicked();
    void on_pushButton_2_clicked();
    void on_treeWidget_itemSelectionChanged();
    void on_treeWidget_customContextMenuRequested(const QPoint &pos);
    void changeTreeChecked(bool checked);
    void menuSelectAll();
    void clean();
    void checkTimer();
    void fileInfo();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    // Drops on the output-folder field: see dropOnOutputFolder.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A folder dropped on the output-folder field becomes the output folder
    // as if chosen with Browse; files are added as anywhere in the window.
    // The address's text never enters the field.
    void dropOnOutputFolder(QDropEvent *event);
    // The addresses of a drop the window takes (and accepts); none while
    // the rows are locked.
    QList<QUrl> takeDrop(QDropEvent *event);
    // Adding files: the probes through the transcoder, several at a time,
    // then the new rows from their results, one file at a time in list order.
    enum class AddSource {
        OpenDialog,
        Drop,
    };
    // shownNames: what the add-result dialog lists for a path that fails.
    void addFiles(const QStringList &paths, const QStringList &shownNames, AddSource source);
    // poolIndex: the file's place in the list the probe pool was started
    // with; without one the file is probed on its own.
    void probeInputFile(const QString &path, int poolIndex = -1);
    void showProbeProgress();
    void addProbedFileRow();
    // A source that changed since its probe is probed again and its row shows
    // the new length; true when that happened.
    bool reprobeChangedSource(QTreeWidgetItem *row, const SourceStamp &now);
    void showReprobedSource(QTreeWidgetItem *row, const ProbeResult &result, qint64 bytes);
    // taken: the paths of the rows listed so far. Empty when no free name
    // is left: the file is then not added.
    QString uniqueOutputName(AddSource source, int rowsBefore, const TakenPaths &taken) const;
    // Gives the row an output path that names neither its source nor one of
    // takenByOthers; false, the row left as it was, when no free name is left.
    bool ensureUniqueOutputPath(QTreeWidgetItem *row, const TakenPaths &takenByOthers);
    // What the user is told when every name an output may take is in use.
    static QString noFreeNameText(const QString &path);
    void finishAdding(int addedCount);
    void connectSelectionHandler();
    void disconnectSelectionHandler();
    // The option boxes, the output folder and labels show the row's own
    // choices, and its profile becomes the one new files get.
    void showRowChoices(const QTreeWidgetItem *row);
    // After a row is removed: the row that is current now, or the empty
    // list's locked controls.
    void showRowAfterRemoval();
    // The list is empty: the preview and the output labels show nothing.
    void showEmptyList();
    // The current row's choices, output information and edit buttons, as
    // selecting it shows them.
    void showCurrentRowControls();
    // Rows stay while files are added, a run converts them or the editor
    // works on one.
    bool rowsLocked() const;
    // The list's context menu for a request at pos (viewport coordinates).
    QMenu *buildListMenu(const QPoint &pos);
    // Previous and Next cannot go past the first and the last row.
    void updatePrevNextButtons();

    // -----------------------------------------------------------------------
    // Output profiles and options: mainwindowoptions.cpp.
public:
    // Output profiles: the device list, the category picture.
    void fillDeviceCombo();
    void updateDevicePicture(int category);
    // Fills the eight codec option boxes from a profile file of the catalogue.
    void loadProfileFile(const QString &fileName);
    // A codec brings its own lists: true when a codec with other lists than
    // the one shown was chosen, and its lists and defaults from the current
    // profile now fill the boxes that depend on it.
    bool followVideoCodec();
    bool followAudioCodec();

    // Builds the whole job of the list's row `row` from the option boxes:
    // argument list, settings indexes, item copies and, on the row's first
    // build, its effect list and wrapper script. A row being added takes its
    // source from inputFolder/inputName/inputExtension; with inputExtension
    // empty the row is rebuilt from its own list.
    void buildItemArguments(int row);
    // The output labels from the current row's media information.
    void showOutputInfo();
    // Media information entries 0..16 of the current row (seventeen empty
    // entries without one).
    QStringList currentMediaInfo() const;

    // Combo boxes whose chosen text matters; Qt 6 reports it through
    // textActivated, connected explicitly by the constructor.
    void on_ProfileDevice_activated(const QString &category);
    void on_VBitrate_activated(const QString &text);
    void on_Vaspect_activated(const QString &text);

public Q_SLOTS:
    // Output profiles and options.
    void on_ProfileDetails_activated(int index);
    void on_SettingButton_clicked();
    void on_browsePushButton_clicked();
    void on_Vcodec_activated(int index);
    void on_VSize_activated(int index);
    void on_VframeRate_activated(int index);
    void on_Acodec_activated(int index);
    void on_ASamplerate_activated(int index);
    void on_ABitrate_activated(int index);
    void on_AChannels_activated(int index);

private:
    // The option slots' shared steps: the list's current row (none: null),
    // and writing a rule's result back into the row and the widgets.
    QTreeWidgetItem *currentRowItem() const;
    void applyRowEffect(QTreeWidgetItem *item, const OptionRules::RowState &row,
                        const OptionRules::SlotEffect &effect);
    // The whole of an option slot whose rule needs only the choice: the rule
    // runs on the current row with `box`'s text and its effect is applied.
    using OptionRule = OptionRules::SlotEffect (*)(OptionRules::RowState &row, int index,
                                                   const QString &text);
    void applyOptionRule(OptionRule rule, int index, const QComboBox *box);
    // The one place a changed output path is checked: `wanted`, or the
    // next free name with the inserted number, so that it names no listed
    // source, no other row's output and no file that exists. Empty, and the
    // user told, when no such name is left.
    QString uniqueOutputPath(const QTreeWidgetItem *item, const QString &wanted);
    QString freeOutputPath(const QTreeWidgetItem *item, const QString &wanted) const;
    // The same from plain paths, so that it can run away from this thread:
    // every path is looked at on disk.
    QStringList listedPathsBesides(const QTreeWidgetItem *item) const;
    static QString freeOutputPath(const QStringList &listed, const QString &source,
                                  const QString &wanted);
    // The output folder chosen with Browse or typed (relative: in the home
    // folder), for new rows and every row listed; a missing folder is made,
    // and one that cannot be made or written is refused.
    void applyOutputFolder(const QString &folder);
    // Tells the user, once, that the settings file cannot be written.
    void tellSettingsUnsaved(const QString &path);
    // The typed folder, once typing is over.
    void applyTypedOutputFolder();
    // The row's output path, its file name kept, in `folder` (with "/").
    void moveRowOutput(QTreeWidgetItem *item, const QString &folder);
    // The row's output path and the name its Output File column shows.
    void setRowOutputPath(QTreeWidgetItem *item, const QString &path);
    // Tells the user about a problem without stopping the flow that met it.
    void showProblem(const QString &text);

    // The Advance button's apply step: the dialog's choices for `row` go
    // through this window's option boxes and slots, then into the row's script.
    void replaySettings(QTreeWidgetItem *row);
    void patchScriptParameters(QTreeWidgetItem *row);

    // -----------------------------------------------------------------------
    // Preview player and snapshots: mainwindowpreview.cpp.
public Q_SLOTS:
    // Preview player and snapshots.
    void on_PlayButton_clicked();
    void on_PauseButton_clicked();
    void on_StopButton_clicked();
    void on_PreviousButton_clicked();
    void on_NextButton_clicked();
    void on_MuteButton_clicked();
    void on_unMuteButton_clicked();
    void on_captureButton_clicked();
    void on_setCaptureButton_pressed();
    void on_volumeHSlider_valueChanged(int value);
    void on_horizontalSlider_sliderMoved(int position);
    void on_horizontalSlider_sliderPressed();
    void on_horizontalSlider_sliderReleased();
    void scanTimer();
    void NowStop();
    void upImage();
    void setSnapshotFolder();
    void settiff();
    void setbmp();
    void setpng();
    void setjpgH();
    void setjpgS();
    void setjpgL();
    // A message of the preview player for the user, on the GUI thread.
    void showPlayerMessage(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The preview: opens `file` in the preview area, from its beginning.
    int playFile(const QString &file);
    // The position and the current row's duration in the time label.
    void updatePlayTimeLabel(double position);
    // Next (forward) and Previous: stop, move to the neighbouring row, play it.
    void stepPreview(bool forward);

    // -----------------------------------------------------------------------
    // The window's state.
public:
    QString avsPluginPath;
    QString avsImportPath;
    QString avsHeaderPath;

private:
    // Member dialogs: created with the window, without parent, never re-created.
    videoInfo mediaInfoDialog;
    settingDialog settingsDialog;
    openProgress addProgressDialog;
    errFiledialog addResultDialog;
    about aboutDialog;

    QTimer previewPollTimer;
    QTimer stopDelayTimer;
    int stopSeekWaitsLeft = 0;
    QTimer openTimer;

    QPoint dragOrigin;
    bool previewStepped = false;
    SnapshotChoices snapshots;
    QString lastAddFolder;
    QElapsedTimer conversionClock;
    QMenu *fileFormatMenu = nullptr;
    QTimer repaintTimer;

    Ui::MainWindow *ui;
    QCheckBox *checkAllBox = nullptr;

    QTimer updateCheckTimer;
    bool autoUpdateEnabled = false;
    QTimer shutdownTimer;

    QProcess transcoderProcess;
    QProcess pauseToolProcess;
    QProcess editorProcess;
    QString transcoderPid;

    // Conversion run state.
    int runMode = 0;
    int jobNumber = 0;
    int totalSeconds = 0;
    int currentFileSeconds = 0;
    int doneSeconds = 0;

    bool hasVideo = true;
    bool audioOnly = true;
    // The probe of the file being added: its text is collected whole and read
    // once the transcoder has finished.
    ProbeParser probeParser;
    ProbeResult probe;
    SourceStamp probedStamp;
    ProbePool probePool;
    // An add operation is under way (it lets timers and drags in while it waits).
    bool addingFiles = false;
    // The Convert button's run, shared with the job tick and the stop.
    ConversionRun conversionRun;
    // The running job's transcoder: started, paused and stopped as a group.
    TranscoderJob transcoderJob{transcoderProcess};
    // File work on the output folders, off this thread.
    FolderWork folderWork;
    // A job's folder is being looked at; the tick waits for it as for a job.
    bool jobStarting = false;
    // Answers from the folder work that a stop has made stale are dropped.
    quint64 runGeneration = 0;
    // The suspender's listing as it arrives; looked through for our transcoder.
    QByteArray pauseListing;
    // The row the open editor tool works on.
    QPersistentModelIndex editorRowIndex;
    QStringList failedFiles;
    QTimer jobTimer;
    QTimer uiPollTimer;
    QString currentProfileFile;

    // The file on its way into the list (the add flow sets them; the name and
    // extension are cleared when an add operation ends) and where its output
    // goes. outputFolder ends with "/".
    QString inputFolder;
    QString inputName;
    QString inputExtension;
    QString outputFolder;
    QString outputName;
    QString outputAudioBitrate;
    // The current profile; the label's lower-case form is the extension of
    // every output path made from now on.
    QString profileFile;
    QString formatLabel;
    // The output-folder field's text as the program last set it, for taking
    // back a typed folder that cannot be used.
    QString outputFolderInUse;
    // Settings that cannot be saved are told once, not at every change.
    bool toldSettingsUnsaved = false;
    // The codec entries whose lists the option boxes show.
    int shownVideoCodec = -1;
    int shownAudioCodec = -1;
};
