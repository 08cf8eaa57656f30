#pragma once

#include <QString>
#include <QStringList>

// The lines that both AviSynth script writers share, from LoadPlugin to the
// first Trim: the row's first script (AvsScript) and the one written anew
// after every edit (EditedScript). The per-file settings patch the user
// parameters by their place after "#User parameters", so the two writers
// must never drift apart there. Paths come quoted already (AvsScript::quoted);
// each writer adds what follows the first Trim.
struct AvsScriptBody {
    QString plugin;
    QString import;
    QString header;
    QString source;
    bool directShow = false; // read the source through DirectShowSource
    int width = 0;
    int height = 0;
    QString channels;
    QString sampleRate;
    QString displayRatio;
    int cropLeft = 0;
    int cropTop = 0;
    int cropWidth = 0;
    int cropHeight = 0;
    QString tweak; // the Tweak arguments
    qint64 trimFrames = 0;

    // DirectShowSource stays for VCD ".dat" files, which FFmpegSource2 reads
    // badly; the test is case-sensitive.
    static bool readsThroughDirectShow(const QString &sourcePath);

    QStringList lines() const;
};
