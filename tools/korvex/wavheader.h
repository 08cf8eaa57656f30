#pragma once

#include <QString>
#include <QStringList>

// The header of a RIFF WAV file, read by hand where the library's reader
// would go wrong: RIFF counts in 32 bits, so the data size of a file over
// 4 GB has wrapped, and recorders that stop without closing their file write
// 0xFFFFFFFF (or 0) for a size they never learnt. The library then stops at
// the wrapped size, or hunts for chunks through gigabytes of samples, and
// decodes a cut-off last sample as an error. Plain PCM of such a file is read
// instead as bare samples, over the whole samples the file holds.
class WavHeader {
public:
    // Reads the header of path; a file that is no RIFF WAV gives a header
    // that needs nothing.
    static WavHeader read(const QString &path);

    // The samples must be read past what the header says (see above).
    bool needsRawReading() const { return !m_rawFormat.isEmpty(); }
    // Why the file cannot be read whole; empty when it can.
    QString problem() const { return m_problem; }

    // How ffmpeg (and the library) must open the file to read it whole:
    // the demuxer and its options, and the address of the samples.
    QString rawFormat() const { return m_rawFormat; }
    int sampleRate() const { return m_sampleRate; }
    QString layout() const { return m_layout; }
    QString url(const QString &path) const;
    QStringList ffmpegInputOptions() const;

private:
    QString m_rawFormat; // "s16le", "f32le"...
    int m_sampleRate = 0;
    QString m_layout;
    qint64 m_dataStart = 0;
    qint64 m_dataEnd = 0;
    QString m_problem;
};
