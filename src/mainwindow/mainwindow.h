#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QPoint>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include "conversion/conversioncontroller.h"
#include "conversion/editoranswer.h"
#include "conversion/proberesult.h"
#include "filelist/addflow.h"
#include "filelist/outputpaths.h"
#include "mainwindow/errfiledialog.h"
#include "mainwindow/openprogress.h"
#include "mainwindow/optionstate.h"
#include "filelist/sourcestamp.h"
#include "mainwindow/videoinfo.h"
#include "mainwindow/about.h"
#include "mainwindow/snapshotchoices.h"
#include "settingsdialog/settingdialog.h"

class QCheckBox;
class QComboBox;
class QMenu;
class EditorSession;
class QTreeWidgetItem;

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

    // -----------------------------------------------------------------------
    // Construction and destruction, connections, timers, menus and the control
    // switches every part uses: mainwindow.cpp.
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    Ui::MainWindow *form() const { return ui; }
    EditorSession &editorSession() { return *editor; }
    AddFlow &addFlow() { return *adder; }
    ConversionController &conversion();
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
    // The run is the controller's; the window starts it from the Convert
    // click once the folders are there, and shows what it tells.
    void connectConversion();
    void beginRun();
    void rollBackRunStart();
    // Folders the user chose: asked about before one that has gone is made
    // again; the default folders are made without a word.
    bool mayMakeUnasked(const QString &folder) const;
    bool askToMakeFolderAgain(const QString &folder);
    void showJobEnd(const JobEnd &end);
    void showRunProgress(const ProgressUpdate &update);
    void showRunStopped(bool transcoderEnding);
    void finishRun(const QList<int> &rowsToUncheck);
    void armShutdown();
    // What the editor's answer is applied to: the row's own choices.
    EditorRow editorRowFor(const QTreeWidgetItem *row) const;
    // A job that reads its row's script finds it (written again when it is
    // missing or its source changed), or the reason it cannot.
    QString restoreEditScript(const QTreeWidgetItem *row, bool sourceChanged) const;
    void launchEditor(const QString &mode);
    void connectEditorSession();
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
    // Adding files: the add flow probes them, the window makes their rows.
    // shownNames: what the add-result dialog lists for a path that fails.
    void addFiles(const QStringList &paths, const QStringList &shownNames,
                  AddFlow::Source source);
    // The new row of a file the add flow has probed; false when it has
    // no free output name left and is not listed.
    bool listProbedFile(const QString &path);
    void showProbeProgress(int done, int total, const QString &probing);
    void addProbedFileRow(const ProbeResult &probe, const SourceStamp &probedStamp);
    // A source that changed since its probe is probed again and its row shows
    // the new length; true when that happened.
    bool reprobeChangedSource(QTreeWidgetItem *row, const SourceStamp &now);
    void showReprobedSource(QTreeWidgetItem *row, const ProbeResult &result, qint64 bytes);
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
    OptionState &options() { return optionState; }
    void fillDeviceCombo();
    void updateDevicePicture(int category);
    // Fills the eight codec option boxes from a profile file of the catalogue.
    void loadProfileFile(const QString &fileName);
    // The whole job of the list's row `row` from the option boxes and the
    // option state: the first build also gives it its effects and script.
    void buildItemArguments(int row);
    // The output labels from the current row's media information.
    void showOutputInfo();
    // Media information entries 0..16 of the current row (all empty without one).
    QStringList currentMediaInfo() const;
    // Chosen with Browse or typed (relative: in the home folder): new rows and
    // every listed row go there; a missing folder is made, and one that cannot
    // be made or written is refused.
    void applyOutputFolder(const QString &folder);

    // Qt 6 tells the chosen text through textActivated, connected by the constructor.
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
    // The list's current row; null when there is none.
    QTreeWidgetItem *currentRowItem() const;
    // An option slot's rule run on the current row with `box`'s text, its
    // result written back into the row and the widgets.
    using OptionRule = OptionRules::SlotEffect (*)(OptionRules::RowState &row, int index,
                                                   const QString &text);
    void applyOptionRule(OptionRule rule, int index, const QComboBox *box);
    // `wanted`, or the next free name with the inserted number: no listed
    // source, no other row's output, no file that exists. Empty, and the user
    // told, when no such name is left.
    QString uniqueOutputPath(const QTreeWidgetItem *item, const QString &wanted);
    // The same from plain paths, so that it can run away from this thread.
    QStringList listedPathsBesides(const QTreeWidgetItem *item) const;
    static QString freeOutputPath(const QStringList &listed, const QString &source,
                                  const QString &wanted);
    // The row's output path and the name its Output File column shows.
    void setRowOutputPath(QTreeWidgetItem *item, const QString &path);
    // Once: the settings file cannot be written.
    void tellSettingsUnsaved(const QString &path);
    // A problem told without stopping the flow that met it.
    void showProblem(const QString &text);
    // The Advance dialog's choices for `row` through the option boxes and slots.
    void replaySettings(QTreeWidgetItem *row);

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
    QMenu *fileFormatMenu = nullptr;
    QTimer repaintTimer;

    Ui::MainWindow *ui;
    QCheckBox *checkAllBox = nullptr;

    QTimer updateCheckTimer;
    bool autoUpdateEnabled = false;
    QTimer shutdownTimer;

    // The files being added, probed and handed over one at a time.
    AddFlow *adder = nullptr;
    // The Convert button's run: its jobs, their transcoder and folder work.
    ConversionController conversionController;
    // The editor tool's round trip on one row.
    EditorSession *editor = nullptr;
    QTimer uiPollTimer;
    // Settings that cannot be saved are told once, not at every change.
    bool toldSettingsUnsaved = false;
    OptionState optionState;
};
