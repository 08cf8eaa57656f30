#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QTimer>
#include <QUrl>

#include "conversion/conversioncontroller.h"
#include "filelist/addflow.h"
#include "filelist/proberesult.h"
#include "filelist/sourcestamp.h"
#include "mainwindow/about.h"
#include "mainwindow/errfiledialog.h"
#include "mainwindow/openprogress.h"
#include "mainwindow/optionstate.h"
#include "mainwindow/snapshotchoices.h"
#include "mainwindow/videoinfo.h"
#include "player/snapshotcapture.h"
#include "settingsdialog/settingdialog.h"

class CheckedRows;
class EditorSession;
class JobControls;
class OutputNaming;
class QCheckBox;
class QComboBox;
class QMenu;
class QTreeWidgetItem;

namespace Ui { class MainWindow; }
namespace OptionRules { struct RowState; struct SlotEffect; }

// The program's one top-level window. Its slots are thin: they read the
// widgets, hand the work to the engine's classes (add flow, job controls)
// and show what those tell.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    Ui::MainWindow *form() const { return ui; }
    EditorSession &editorSession();
    AddFlow &addFlow() { return *adder; }
    OutputNaming &outputNaming() { return *naming; }
    ConversionController &conversion();
    SnapshotChoices &snapshotChoices() { return snapshots; }
    OptionState &options() { return optionState; }

    // Time text: hours (at least two digits), minutes and seconds.
    static QString formatDuration(int seconds);
    // The editor's percent to and from the script's units.
    static QString levelToPercent(const QString &value);
    static QString gainToPercent(const QString &value);
    static QString percentToLevel(const QString &value);
    static QString percentToGain(const QString &value);

    // Control groups that are switched together.
    void setMainControlsEnabled(bool enabled);
    void setJobControlsEnabled(bool enabled);
    // The editor's three buttons, which only a row that can be edited frees.
    void lockEditButtons();
    void resetFileTreeFlags();

    // The open dialog's picked paths and a drop's URLs: every file is probed,
    // the media listed and the rest reported in the add-result dialog.
    void addPickedFiles(const QStringList &paths);
    void addDroppedUrls(const QList<QUrl> &urls);
    // The last checked row (0 when none is), and the checked rows' seconds.
    int lastCheckedRow() const;
    int totalCheckedDuration() const;

    void fillDeviceCombo();
    void updateDevicePicture(int category);
    // Fills the eight codec option boxes from a profile file of the catalogue.
    void loadProfileFile(const QString &fileName);
    // The row's job from the option boxes; its first build adds effects and script.
    void buildItemArguments(int row);
    void showOutputInfo();
    // Media information entries 0..16 of the current row (all empty without one).
    QStringList currentMediaInfo() const;
    // Browse's or the typed folder (relative: in home) for new and listed rows;
    // a missing folder is made, one that cannot be made or written refused.
    void applyOutputFolder(const QString &folder);
    // Qt 6 tells the chosen text through textActivated, connected by the constructor.
    void on_ProfileDevice_activated(const QString &category);
    void on_VBitrate_activated(const QString &text);
    void on_Vaspect_activated(const QString &text);

    QString avsPluginPath;
    QString avsImportPath;
    QString avsHeaderPath;

public Q_SLOTS:
    // A later start of the program handed us its message.
    void receiveMessage(const QString &message);
    void opentime();

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

    // Conversion runs and the editor tool.
    void on_ConvertePushButton_clicked();
    void on_StopConvertePushButton_clicked();
    void on_PausePushButton_clicked();
    void on_PauseContinue_clicked();
    void on_editVideo_clicked();
    void on_editVideo_Trim_clicked();
    void on_editVideo_Effect_clicked();
    // The window's names for the readers of the transcoder's output, the job
    // tick, the suspender's listing and the editor's answer. The controller
    // and the editor session connect their own processes and timer to their
    // own handlers, so nothing connects these. Each hands over to that
    // handler, which is safe to run at any time: the readers take only what
    // is pending, the tick does only what the run's state calls for, and the
    // editor's answer frees the controls only for a tool opened and ended.
    void outputCommand();
    void slotTimer();
    void pauseCommand();
    void output();

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

Q_SIGNALS:
    // Declared for the old table widget; nothing emits it.
    void setMove();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void buildSystemMenu();
    void buildSnapshotMenu();
    void connectSnapshotCapture();
    void setUpFileList();
    void loadAvsPlugins();
    // Empties a folder tree; false when `path` is not an existing folder.
    bool purgeDirectory(const QString &path);
    // The conversion run and the editor tool, given what is the window's own.
    void connectJobControls();

    // A folder dropped on the output-folder field is taken as Browse takes it.
    void dropOnOutputFolder(QDropEvent *event);
    // The addresses of a drop the window takes; none while rows are locked.
    QList<QUrl> takeDrop(QDropEvent *event);
    // shownNames: what the add-result dialog lists for a path that fails.
    void addFiles(const QStringList &paths, const QStringList &shownNames,
                  AddFlow::Source source);
    // The row of a probed file; its free output name follows from the folder.
    void listProbedFile(const QString &path);
    void showProbeProgress(int done, int total, const QString &probing);
    void addProbedFileRow(const ProbeResult &probe, const SourceStamp &probedStamp);
    void finishAdding(int addedCount);
    void connectSelectionHandler();
    void disconnectSelectionHandler();
    // The row's choices in the boxes; its profile becomes the one new files get.
    void showRowChoices(const QTreeWidgetItem *row);
    void showRowAfterRemoval();
    void showEmptyList();
    void showCurrentRowControls();
    // While files are added, a run converts or the editor works on a row.
    bool rowsLocked() const;
    QMenu *buildListMenu(const QPoint &pos);
    void updatePrevNextButtons();
    QTreeWidgetItem *currentRowItem() const;
    // An option slot's rule on the current row with `box`'s text, written back.
    using OptionRule = OptionRules::SlotEffect (*)(OptionRules::RowState &row, int index,
                                                   const QString &text);
    void applyOptionRule(OptionRule rule, int index, const QComboBox *box);
    void setRowOutputPath(QTreeWidgetItem *item, const QString &path);
    void tellSettingsUnsaved(const QString &path);
    // A problem told without stopping the flow that met it.
    void showProblem(const QString &text);
    // The Advance dialog's choices for `row` through the option boxes and slots.
    void replaySettings(QTreeWidgetItem *row);

    int playFile(const QString &file);
    void updatePlayTimeLabel(double position);
    void stepPreview(bool forward);

    Ui::MainWindow *ui;
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
    QTimer repaintTimer;
    QTimer updateCheckTimer;
    QTimer shutdownTimer;
    QTimer uiPollTimer;

    QPoint dragOrigin;
    bool previewStepped = false;
    SnapshotChoices snapshots;
    SnapshotCapture snapshotCapture;
    QString lastAddFolder;
    QMenu *fileFormatMenu = nullptr;
    QCheckBox *checkAllBox = nullptr;
    CheckedRows *checkedCount = nullptr;
    bool autoUpdateEnabled = false;
    // Settings that cannot be saved are told once, not at every change.
    bool toldSettingsUnsaved = false;
    OptionState optionState;

    // The engine: the rows' output names, the files being added; the
    // Convert button's run and the editor tool's round trip on one row.
    OutputNaming *naming = nullptr;
    AddFlow *adder = nullptr;
    JobControls *jobs = nullptr;
};
