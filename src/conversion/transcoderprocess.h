#pragma once

#include <QProcess>

// The transcoder's process. One still on its way out when the program goes
// (its folder on a share that does not answer, so that it cannot yet remove
// its part file) is let go rather than killed: it ends by itself, tidily,
// once the share answers.
class TranscoderProcess : public QProcess {
public:
    using QProcess::QProcess;

    // The process is no longer ours: destroying this object leaves it running.
    void letGo();
};
