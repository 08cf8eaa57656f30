#pragma once

#include <QByteArray>
#include <QString>

#include "conversion/proberesult.h"

// Reads the transcoder's description of an input file ("korvex -i FILE").
//
// The process hands its standard error over in whatever pieces the pipe
// delivers, and a piece may end in the middle of the stream lines. Judging a
// piece on its own can reject a good file, so the reader only collects:
// append() every piece as it arrives, and take result() once the process has
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
