#pragma once

#include <QByteArray>
#include <QString>

#include "filelist/proberesult.h"

// Reads the transcoder's description of an input file ("korvex -i FILE").
//
// The process hands its standard error over in whatever chunks the pipe
// delivers, and a chunk may end in the middle of the stream lines. Judging a
// chunk on its own can reject a good file, so the reader only collects:
// append() every chunk as it arrives, and take result() once the process has
// finished (after reading what is still pending). reset() before each probe.
class ProbeParser {
public:
    void reset();
    void append(const QByteArray &standardError);

    QString text() const;
    ProbeResult result() const;

    // The reading rules applied to one complete probe text.
    static ProbeResult parse(const QString &text);

private:
    QByteArray m_bytes;
};
