#pragma once

#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>

#include "filelist/probeparser.h"
#include "filelist/probepool.h"
#include "filelist/proberesult.h"
#include "filelist/sourcestamp.h"
#include "filelist/takenpaths.h"

class QTreeWidget;
class QTreeWidgetItem;

// One add of files to the list: every file is probed through the
// transcoder (several at a time, by the probe pool), and the media among
// them are handed to the window one at a time in list order, so that the
// rows, their output names and the failed list come out as with one probe
// after the other. The files that cannot be listed are collected and
// reported together at the end.
class AddFlow : public QObject
{
    Q_OBJECT

public:
    // Where the files come from: picked files are numbered against the rows
    // listed before the add, dropped ones against every row listed so far.
    enum class Source {
        OpenDialog,
        Drop,
    };

    explicit AddFlow(QTreeWidget *list, QObject *parent = nullptr);

    // How many probes run at once and how long one may take are the
    // machine's to say; the benchmark and the tests set them here.
    ProbePool &probePool();

    // Probes paths (the empty ones name no local file and fail, with their
    // shownNames entry) and hands every media file on through fileProbed.
    // goOn is asked between files; false ends the add early. Refused while
    // another add is under way.
    void add(const QStringList &paths, const QStringList &shownNames, Source source,
             const std::function<bool()> &goOn);
    bool isAdding() const;
    // The file handed on last could not be listed after all: it is reported
    // with the others.
    void turnAway(const QString &shownName);
    // The files of the add under way that could not be listed.
    QStringList failedFiles() const;

    // The output file name of the file being added, from its profile's
    // outputName in outputFolder (ends with "/"): one that names neither a
    // listed path nor an existing file. Empty when no free name is left.
    QString outputNameFor(const QString &sourcePath, const QString &outputFolder,
                          const QString &outputName) const;
    // Gives the new row an output path that names neither its source nor a
    // path listed before it; false, the row left as it was, when no free
    // name is left. The name, when it changed, goes to *newName.
    bool makeOutputUnique(QTreeWidgetItem *row, QString *newName) const;
    // The new row is listed: its paths are taken for the files after it.
    void listed(const QTreeWidgetItem *row);

    // Probes one file. poolIndex: its place in the list the probe pool was
    // started with; without one the file is probed on its own.
    void probeFile(const QString &path, int poolIndex = -1);
    // The probe of the file being added, and the file as it was just before.
    const ProbeResult &probe() const;
    SourceStamp probedStamp() const;

Q_SIGNALS:
    // done of total probes are over; probing names the file being probed.
    void probeProgress(int done, int total, const QString &probing);
    // A media file ready to become a row, from probe() and probedStamp().
    void fileProbed(const QString &path);
    // The add is over; failedFiles() still holds its failures meanwhile.
    void finished(int addedCount);
    // The transcoder's text, for the log.
    void toolText(const QString &text);
    void problem(const QString &text);

private:
    void showProgress();

    QTreeWidget *m_list;
    ProbePool m_pool;
    ProbeResult m_probe;
    SourceStamp m_probedStamp;
    bool m_adding = false;
    QStringList m_failed;
    // The add under way: where its files come from, the rows before it and
    // the paths taken so far.
    Source m_source = Source::OpenDialog;
    int m_rowsBefore = 0;
    TakenPaths m_taken;
};
