#include "wavheader.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <QFile>
#include <QtAlgorithms>
#include <QtEndian>

namespace {

constexpr qint64 kRiffLimit = qint64(1) << 32;
// Size fields of writers that never learnt the size.
constexpr quint32 kUnknownSize = 0xFFFFFFFF;
// Chunks before the samples (fmt, fact, bext, LIST...) fit well within this.
constexpr qint64 kMaxHeaderBytes = 1 << 20;
constexpr quint16 kFormatPcm = 1;
constexpr quint16 kFormatFloat = 3;
constexpr quint16 kFormatExtensible = 0xFFFE;

quint16 le16(const QByteArray &bytes, int at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 le32(const QByteArray &bytes, int at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// The library's raw reader for the samples, empty for sound that is not
// plain PCM.
QString rawFormatFor(quint16 format, int bits) {
    if (format == kFormatPcm) {
        switch (bits) {
        case 8:
            return QStringLiteral("u8");
        case 16:
            return QStringLiteral("s16le");
        case 24:
            return QStringLiteral("s24le");
        case 32:
            return QStringLiteral("s32le");
        }
    } else if (format == kFormatFloat) {
        if (bits == 32)
            return QStringLiteral("f32le");
        if (bits == 64)
            return QStringLiteral("f64le");
    }
    return QString();
}

QString layoutName(quint32 mask, int channels) {
    AVChannelLayout layout = {};
    if (mask == 0 || qPopulationCount(mask) != uint(channels) ||
        av_channel_layout_from_mask(&layout, mask) < 0)
        av_channel_layout_default(&layout, channels);
    char name[128] = {};
    av_channel_layout_describe(&layout, name, sizeof name);
    av_channel_layout_uninit(&layout);
    return QString::fromLatin1(name);
}

} // namespace

WavHeader WavHeader::read(const QString &path) {
    WavHeader header;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return header;
    const qint64 fileSize = file.size();
    const QByteArray riff = file.read(12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return header;

    QByteArray format;
    qint64 dataStart = -1;
    quint32 dataSize = 0;
    while (file.pos() + 8 <= std::min(fileSize, kMaxHeaderBytes)) {
        const QByteArray chunk = file.read(8);
        const quint32 size = le32(chunk, 4);
        if (chunk.startsWith("data")) {
            dataStart = file.pos();
            dataSize = size;
            break;
        }
        if (chunk.startsWith("fmt ") && size >= 16 && size <= 64)
            format = file.read(size);
        else if (!file.seek(file.pos() + size))
            return header;
        if (size % 2 && !file.seek(file.pos() + 1))
            return header;
    }
    if (dataStart < 0 || format.size() < 16)
        return header;

    // The samples run to the end of the file where the size is unknown; a
    // wrapped size lacks whole multiples of 4 GB, which the file shows.
    qint64 dataBytes = dataSize;
    const bool unknown = dataSize == kUnknownSize || dataSize == 0;
    if (unknown) {
        dataBytes = fileSize - dataStart;
    } else if (dataStart + dataBytes + kRiffLimit <= fileSize) {
        dataBytes += (fileSize - dataStart - dataBytes) / kRiffLimit * kRiffLimit;
    } else {
        return header; // the header is right: the library reads it well
    }

    quint16 tag = le16(format, 0);
    const int channels = le16(format, 2);
    const int rate = int(le32(format, 4));
    const int blockAlign = le16(format, 12);
    const int bits = le16(format, 14);
    quint32 mask = 0;
    if (tag == kFormatExtensible && format.size() >= 40) {
        mask = le32(format, 20);
        tag = le16(format, 24); // the sub-format's first two bytes
    }
    header.m_rawFormat = rawFormatFor(tag, bits);
    if (header.m_rawFormat.isEmpty() || channels <= 0 || rate <= 0 ||
        blockAlign != channels * bits / 8) {
        header.m_rawFormat.clear();
        // A size that is only unknown the library copes with; a wrapped one
        // would stop the sound at the first 4 GB boundary it lacks.
        if (!unknown)
            header.m_problem = QStringLiteral(
                "the WAV header gives a length that wrapped past 4 GB, and korvex finds "
                "the true length only of plain PCM sound");
        return header;
    }
    header.m_sampleRate = rate;
    header.m_layout = layoutName(mask, channels);
    header.m_dataStart = dataStart;
    // A cut-off last sample would be decoded as damage.
    header.m_dataEnd = dataStart + dataBytes / blockAlign * blockAlign;
    return header;
}

QString WavHeader::url(const QString &path) const {
    return QStringLiteral("subfile,,start,%1,end,%2,,:file:%3")
        .arg(m_dataStart)
        .arg(m_dataEnd)
        .arg(path);
}

QStringList WavHeader::ffmpegInputOptions() const {
    return {QStringLiteral("-f"),         m_rawFormat,
            QStringLiteral("-ar"),        QString::number(m_sampleRate),
            QStringLiteral("-ch_layout"), m_layout};
}
