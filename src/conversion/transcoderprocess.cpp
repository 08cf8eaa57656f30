#include "transcoderprocess.h"

void TranscoderProcess::letGo() {
    // A process that is not running is neither killed nor waited for when
    // its object goes.
    setProcessState(QProcess::NotRunning);
}
