#pragma once

// The main program's reading of the probe text, step by step as its reader is
// specified, so that the tests check korvex's text against what the reader
// will actually pull out of it (not against korvex's own idea of it).

#include <QString>

struct ProbeReading {
    bool hasVideo = false;
    bool audioOnly = false;
    QString duration;
    QString seconds;
    QString secondsExact;
    QString bitrate;
    QString videoCodec;
    QString frameSize;
    QString frameRate;
    QString displayRatio;
    QString audioCodec;
    QString audioBitrate;
};

namespace ProbeReader {

inline QString after(const QString &s, const QString &x) {
    const int pos = s.indexOf(x);
    return s.right(s.size() - pos - x.size());
}

inline QString afterLast(const QString &s, const QString &x) {
    const int pos = s.lastIndexOf(x);
    return s.right(s.size() - pos - x.size());
}

inline QString before(const QString &s, const QString &x) {
    const int pos = s.indexOf(x);
    return pos < 0 ? s : s.left(pos);
}

inline double number(const QString &s) {
    return s.trimmed().toDouble();
}

inline ProbeReading read(const QString &t) {
    ProbeReading r;
    const int d = t.lastIndexOf("Duration:");
    if (d < 0)
        return r;
    const QString w = t.mid(d, 20);
    const QString v = w.right(10);
    const int dot = v.lastIndexOf('.');
    r.duration = dot < 0 ? v : v.left(dot);
    const int s =
        (v.left(2).toInt() * 60 + v.right(7).left(2).toInt()) * 60 + v.right(4).left(2).toInt();
    r.secondsExact = QString::number(s + v.right(1).toInt() / 10.0, 'g', 6);
    r.seconds = QString::number(s);

    const int b = t.indexOf("bitrate:");
    if (b >= 0)
        r.bitrate = before(after(t.mid(b, 20), ":"), "kb/s").simplified();
    const QString p = b >= 0 ? t.mid(b) : t.mid(d);

    QString a;
    const int vi = t.lastIndexOf("Video:");
    if (vi >= 0) {
        r.hasVideo = true;
        const QString vt = t.mid(vi);
        const QString window = vt.left(130);
        const int tbr = window.lastIndexOf("tbr");
        const QString f = tbr < 0 ? window : window.left(tbr);
        QString g = f.right(7);
        g.chop(1);
        if (g.contains(','))
            g = after(g, ",");
        r.frameRate = g.simplified();
        const QString r0 = after(vt, "o:");
        r.videoCodec = before(r0, ",").simplified();
        const QString rest = after(after(r0, ","), ",");
        const int k = rest.indexOf('[');
        if (k >= 0) {
            QString dar = before(afterLast(rest, "DAR"), ",");
            dar.remove(']');
            r.displayRatio =
                QString::number(number(before(dar, ":")) / number(after(dar, ":")), 'f', 3);
            r.frameSize = rest.left(k).simplified();
        } else {
            const QString size = before(rest, ",");
            r.displayRatio =
                QString::number(number(before(size, "x")) / number(after(size, "x")), 'f', 3);
            r.frameSize = size.simplified();
        }
        const int ai = t.lastIndexOf("Audio:");
        if (ai < 0)
            return r;
        a = t.mid(ai);
    } else {
        if (!t.contains("Audio:"))
            return r;
        r.audioOnly = true;
        const int ai = p.indexOf("Audio:");
        a = ai < 0 ? p : p.mid(ai);
    }
    r.audioCodec = after(before(a, ","), ":").simplified();
    if (a.contains("kb/s"))
        r.audioBitrate = afterLast(before(a, "kb/s"), ",").simplified();
    else
        r.audioBitrate = afterLast(before(t, "kb/s"), "bitrate: ").simplified();
    return r;
}

} // namespace ProbeReader
