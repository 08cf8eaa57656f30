#pragma once

#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>

#include "conversion/probeparser.h"
#include "conversion/proberesult.h"
#include "filelist/probepool.h"
#include "filelist/sourcestamp.h"

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
    explicit AddFlow(QObject *parent = nullptr);

    ProbePool &probePool();

    // Probes paths (the empty ones name no local file and fail, with their
    // shownNames entry) and hands every media file on through fileProbed.
    // goOn is asked between files; false ends the add early. Refused while
    // another add is under way.
    void add(const QStringList &paths, const QStringList &shownNames,
             const std::function<bool()> &goOn);
    bool isAdding() const;
    // The file handed on last could not be listed after all: it is reported
    // with the others.
    void turnAway(const QString &shownName);
    // The files of the add under way that could not be listed.
    QStringList failedFiles() const;

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

    ProbePool m_pool;
    // The probe's text is collected whole and read once the transcoder has
    // finished.
    ProbeParser m_parser;
    ProbeResult m_probe;
    SourceStamp m_probedStamp;
    bool m_adding = false;
    QStringList m_failed;
};
