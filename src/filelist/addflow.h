#pragma once

#include <functional>

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include "filelist/probeparser.h"
#include "filelist/probepool.h"
#include "filelist/proberesult.h"
#include "filelist/sourcestamp.h"

class OutputNaming;
class QTreeWidget;
class QTreeWidgetItem;

// One add of files to the list: every file is probed through the
// transcoder (several at a time, by the probe pool), and the media among
// them are handed to the window one at a time in list order, so that the
// rows, their output names and the failed list come out as with one probe
// after the other. The files that cannot be listed are collected and
// reported together at the end. The window goes on taking the user's input
// meanwhile: closing it, or cancel(), ends the add with the rows listed so
// far.
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

    // naming: the list's output names, which the new rows join.
    AddFlow(QTreeWidget *list, OutputNaming *naming, QObject *parent = nullptr);

    // How many probes run at once and how long one may take are the
    // machine's to say; the benchmark and the tests set them here.
    ProbePool &probePool();

    // Probes paths (the empty ones name no local file and fail, with their
    // shownNames entry) and hands every media file on through fileProbed,
    // then waits for the new rows' output names. goOn is asked between files
    // and while waiting; false ends the add early. While another add is
    // under way, files picked in the open dialog follow it; a drop is
    // refused.
    void add(const QStringList &paths, const QStringList &shownNames, Source source,
             const std::function<bool()> &goOn);
    bool isAdding() const;
    // Ends the add under way, keeping the rows listed so far; the files
    // picked meanwhile are not added either.
    void cancel();
    // The file handed on last could not be listed after all: it is reported
    // with the others.
    void turnAway(const QString &shownName);
    // The files of the add under way that could not be listed.
    QStringList failedFiles() const;

    // The output file name of the file being added, from its profile's
    // outputName: it repeats no output name of the rows this add counts.
    QString outputNameFor(const QString &outputName) const;
    // The new row, its job built, takes an output path that names no listed
    // path and no file on disk (outputFolder + outputName, numbered, where
    // the one it has is taken), once the folder answers. A row for which no
    // name is left is turned away while the add lasts.
    void nameRow(QTreeWidgetItem *row, const QString &outputFolder, const QString &outputName);

    // Probes one file. poolIndex: its place in the list the probe pool was
    // started with; without one the file is probed on its own, and goOn is
    // not asked. False when goOn ended the wait first.
    bool probeFile(const QString &path, int poolIndex = -1,
                   const std::function<bool()> &goOn = {});
    // The probe of the file being added, and the file as it was just before.
    const ProbeResult &probe() const;
    SourceStamp probedStamp() const;

Q_SIGNALS:
    // An add begins.
    void started();
    // done of total probes are over; probing names the file being probed.
    void probeProgress(int done, int total, const QString &probing);
    // A media file ready to become a row, from probe() and probedStamp().
    void fileProbed(const QString &path);
    // The add is over; failedFiles() still holds its failures meanwhile.
    void finished(int addedCount);
    // Text for the log: the transcoder's, and what the add met.
    void toolText(const QString &text);
    void problem(const QString &text);

private:
    struct Request {
        QStringList paths;
        QStringList shownNames;
        Source source;
        std::function<bool()> goOn;
    };

    void addNow(const Request &request);
    // Hands on, in list order from next, the files whose probes are done,
    // for one turn; false once the add is over: every file handed on, or
    // one that ends it met, or goOn said no.
    bool handOnProbed(const Request &request, const std::function<bool()> &goOn, int &next);
    void showProgress();
    void waitForNames(const std::function<bool()> &goOn);

    QTreeWidget *m_list;
    OutputNaming *m_naming;
    ProbePool m_pool;
    ProbeResult m_probe;
    SourceStamp m_probedStamp;
    bool m_adding = false;
    bool m_cancelled = false;
    QStringList m_failed;
    // The add under way: where its files come from, the rows before it and
    // the output names it counts.
    Source m_source = Source::OpenDialog;
    int m_rowsBefore = 0;
    QSet<QString> m_names;
    // Files picked while an add was under way, in turn.
    QList<Request> m_waiting;
};
