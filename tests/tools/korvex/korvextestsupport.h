#pragma once

// Helpers shared by the korvex tests: the staged tool and the generated clips,
// a job list in the main program's layout, the main program's strict reading
// of "time=", and wrapper scripts in the shape its script writer gives them.

#include <QProcess>
#include <QString>
#include <QStringList>

#include "../../support/testtime.h"

namespace KorvexTest {

inline QString stage() {
    return qEnvironmentVariable("QUILLORA_STAGE_DIR");
}

inline QString korvex() {
    return stage() + "/korvex";
}

inline QString media(const QString &name) {
    return qEnvironmentVariable("QUILLORA_TEST_MEDIA") + "/" + name;
}

struct Run {
    int exitCode = -1; // -1: crashed or never ended
    QString text;      // standard error
};

inline Run runKorvex(const QStringList &arguments, int timeoutMs = TestTime::bound(60000)) {
    QProcess p;
    p.start(korvex(), arguments);
    Run result;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return result;
    }
    result.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    result.text = QString::fromUtf8(p.readAllStandardError());
    return result;
}

// Input, "-y", options, output: the order the main program launches.
inline QStringList job(const QString &input, const QStringList &options, const QString &output) {
    return QStringList{"-i", input, "-y"} + options + QStringList{output};
}

// The main program's reading of "time=": the first 16 characters from the key,
// their last 11, cut two characters after the last "."; -1 without the key.
inline double readTime(const QString &line) {
    const int at = line.lastIndexOf("time=");
    if (at < 0)
        return -1;
    QString window = line.mid(at, 16).right(11);
    window = window.left(window.lastIndexOf('.') + 3);
    return window.toDouble();
}

// A path as the script writer puts it between the parentheses.
inline QString quoted(const QString &path) {
    return path.contains('"') ? "\"\"\"" + path + "\"\"\"" : "\"" + path + "\"";
}

// A wrapper script: the first version has one Trim line; the editor's rewrite
// adds the logo line and a second Trim.
struct Script {
    QString source;
    QString width = "640";
    QString height = "480";
    QString ratio = "1.333";
    QString crop = "0, 0, 640, 480";
    QString tweak = "0,1,0,1";
    QString firstTrim = "0, 1751";
    QString logo;
    QString secondTrim;
    bool directShow = false;

    QString text() const {
        const QString reader = directShow ? "DirectShowSource(" + quoted(source) + ")"
                                          : "FFmpegSource2(" + quoted(source);
        QStringList lines = {
            "LoadPlugin(\"/opt/quillora/plugins/ffms2.dll\")",
            "Import(\"/opt/quillora/plugins/a.avsi\")",
            "Import(\"/opt/quillora/HEADER.avs\")",
            "",
            "#User parameters",
            "OutputWidth = " + width + "/4*4",
            "OutputHeight = " + height + "/2*2",
            "OutputFrameRate = 21",
            "OutputChannels = 2",
            "OutputSamplesPerSec = 44100",
            "OutputBitsPerSample = 16",
            "",
            "# Parse the media source",
            "clip = " + reader +
                (directShow ? "" : ",atrack = -1, seekmode = 1,colorspace = \"yv12\")"),
            "clip = (clip.frameRate/OutputFrameRate >= 1.5) ? clip.SWScale(colorspace=\"YUY2\")"
            ".ConvertFPS(OutputFrameRate, zone=80).SWScale(colorspace=\"YV12\") : "
            "clip.ConvertFPS(OutputFrameRate)",
            "clip = clip.DelayAudio(0)",
            "clip = clip.DisplayRatio(" + ratio + ")",
            "clip = clip.Crop(" + crop + ")",
            "clip = clip.Tweak(" + tweak + ")",
            "audio = " + reader + (directShow ? "" : ", atrack = -1)") + ".KillVideo()",
            "audio = audio.DelayAudio(0)",
            "clip = AudioDubEx(clip, audio).Trim(0, clip.FrameCount)",
            "clip = clip.ResizeLetterBox(OutputWidth, OutputHeight)",
            "clip = clip.Trim(" + firstTrim + ")"};
        if (!logo.isEmpty())
            lines << "clip = clip.Logo2(" + quoted(logo) + ")";
        if (!secondTrim.isEmpty())
            lines << "clip = clip.Trim(" + secondTrim + ")";
        return lines.join('\n') + "\nreturn clip\n";
    }
};

} // namespace KorvexTest
