#include "argumentlist.h"

#include <QRegularExpression>

#include "profiles/codectables.h"

namespace Arguments {

namespace {

const QString kFpsUnit = QStringLiteral("fps");

bool matchesWhole(const QString &text, const QString &pattern) {
    const QRegularExpression expression(QRegularExpression::anchoredPattern(pattern));
    return expression.match(text).hasMatch();
}

bool isPositiveNumber(const QString &text) {
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok && number > 0;
}

// The index where a pair is inserted for place; -1 when the list has no such
// place. A list without its anchor still keeps the output path last.
int insertionIndex(const ArgumentList &list, Place place) {
    switch (place) {
    case Place::AfterOverwrite: {
        const int overwrite = find(list, kOverwrite);
        return overwrite >= 0 ? overwrite + 1 : qMax(0, list.size() - 1);
    }
    case Place::AfterAudioCodec: {
        const int codec = find(list, kAudioCodec);
        return codec >= 0 ? qMin(codec + 2, list.size()) : qMax(0, list.size() - 1);
    }
    case Place::BeforeOverwrite: {
        const int overwrite = find(list, kOverwrite);
        return overwrite >= 0 ? overwrite : qMax(0, list.size() - 1);
    }
    case Place::Nowhere:
        break;
    }
    return -1;
}

} // namespace

int find(const ArgumentList &list, const QString &word) {
    return list.indexOf(word);
}

QString value(const ArgumentList &list, const QString &word) {
    const int index = find(list, word);
    return index >= 0 && index + 1 < list.size() ? list.at(index + 1) : QString();
}

QString inputPath(const ArgumentList &list) {
    return value(list, kInput);
}

QString outputPath(const ArgumentList &list) {
    return list.isEmpty() ? QString() : list.last();
}

void setOutputPath(ArgumentList &list, const QString &path) {
    if (list.isEmpty())
        list << path;
    else
        list.last() = path;
}

bool removeOption(ArgumentList &list, const QString &word) {
    const int index = find(list, word);
    if (index < 0)
        return false;
    // Never take the output path with it.
    if (index + 1 < list.size() - 1)
        list.removeAt(index + 1);
    list.removeAt(index);
    return true;
}

bool setOption(ArgumentList &list, const QString &word, const QString &value, Place place) {
    if (value.isEmpty())
        return removeOption(list, word);
    const int index = find(list, word);
    if (index >= 0 && index + 1 < list.size()) {
        if (list.at(index + 1) == value)
            return false;
        list[index + 1] = value;
        return true;
    }
    const int at = insertionIndex(list, place);
    if (at < 0)
        return false;
    list.insert(at, word);
    list.insert(at + 1, value);
    return true;
}

bool replaceVideoCodec(ArgumentList &list, const QStringList &group) {
    const int word = find(list, kVideoCodec);
    if (word < 0) {
        if (group.isEmpty() || find(list, kNoVideo) >= 0)
            return false;
        int at = find(list, kAudioCodec);
        if (at < 0)
            at = qMax(0, list.size() - 1);
        list.insert(at, kVideoCodec);
        for (int i = 0; i < group.size(); ++i)
            list.insert(at + 1 + i, group.at(i));
        return true;
    }

    // Take the old value out.
    const int p = word + 1;
    const int lastRemovable = list.size() - 2; // the output path stays
    if (p <= lastRemovable) {
        if (list.at(p) == CodecTables::kX264Encoder) {
            int end = find(list, kAudioCodec);
            if (end < p)
                end = lastRemovable + 1;
            list.erase(list.begin() + p, list.begin() + end);
        } else {
            list.removeAt(p);
        }
    }

    if (group.isEmpty()) {
        list.removeAt(word);
        return true;
    }
    if (group.first() == CodecTables::kX264Encoder) {
        for (int i = 0; i < group.size(); ++i)
            list.insert(p + i, group.at(i));
    } else {
        list.insert(p, group.first());
    }
    return true;
}

bool isTrimmed(const ArgumentList &list) {
    return find(list, kTrimStart) >= 0;
}

void setTrim(ArgumentList &list, const QString &start, const QString &length) {
    int ss = find(list, kTrimStart);
    if (ss >= 0 && ss + 1 < list.size()) {
        list[ss + 1] = start;
    } else {
        int at = find(list, kInput);
        if (at < 0)
            at = 0;
        list.insert(at, kTrimStart);
        list.insert(at + 1, start);
        ss = at;
    }
    const int t = find(list, kTrimLength);
    if (t >= 0 && t + 1 < list.size()) {
        list[t + 1] = length;
    } else {
        list.insert(ss + 2, kTrimLength);
        list.insert(ss + 3, length);
    }
}

ArgumentList carryOver(const ArgumentList &previous, ArgumentList fresh) {
    if (isTrimmed(previous)) {
        // Taken by word rather than by position, so a list that some older
        // writer left in another order cannot drag "-i" along.
        QStringList trim{kTrimStart, value(previous, kTrimStart)};
        if (find(previous, kTrimLength) >= 0)
            trim << kTrimLength << value(previous, kTrimLength);
        for (int i = 0; i < trim.size(); ++i)
            fresh.insert(i, trim.at(i));
    }
    for (const QString &word : kCropWords) {
        const int index = find(previous, word);
        if (index < 0)
            continue;
        const int at = insertionIndex(fresh, Place::BeforeOverwrite);
        fresh.insert(at, word);
        fresh.insert(at + 1, value(previous, word));
    }
    return fresh;
}

QString sizeValue(const QString &sizeText, const QString &sourceSize) {
    const QString size = sizeText == kAutoText ? sourceSize : sizeText;
    static const QString pattern = QStringLiteral("[1-9][0-9]{0,5}x[1-9][0-9]{0,5}");
    return matchesWhole(size, pattern) ? size : QString();
}

QString bitrateValue(const QString &bitrateText) {
    // Digits with an optional decimal part and an optional k or M unit; the
    // profiles write "768K".
    static const QString pattern = QStringLiteral("[0-9]+(\\.[0-9]+)?[kKmM]?");
    if (!matchesWhole(bitrateText, pattern))
        return QString();
    QString digits = bitrateText;
    if (!digits.isEmpty() && digits.back().isLetter())
        digits.chop(1);
    return isPositiveNumber(digits) ? bitrateText : QString();
}

QString frameRateValue(const QString &frameRateText) {
    const int unit = frameRateText.indexOf(kFpsUnit);
    const QString rate = unit >= 0 ? frameRateText.left(unit) : frameRateText;
    static const QString pattern = QStringLiteral("[0-9]+(\\.[0-9]+)?(/[1-9][0-9]*)?");
    if (!matchesWhole(rate, pattern))
        return QString();
    return isPositiveNumber(rate.section(QLatin1Char('/'), 0, 0)) ? rate : QString();
}

QString aspectValue(const QString &aspectText) {
    static const QString pattern = QStringLiteral("[0-9]+(\\.[0-9]+)?(:[1-9][0-9]*(\\.[0-9]+)?)?");
    if (!matchesWhole(aspectText, pattern))
        return QString();
    return isPositiveNumber(aspectText.section(QLatin1Char(':'), 0, 0)) ? aspectText : QString();
}

QString sampleRateValue(const QString &sampleRateText) {
    static const QString pattern = QStringLiteral("[1-9][0-9]{0,6}");
    return matchesWhole(sampleRateText, pattern) ? sampleRateText : QString();
}

QString channelsValue(const QString &channelsText) {
    if (channelsText == QLatin1String("Mono"))
        return QStringLiteral("1");
    if (channelsText == QLatin1String("Stereo"))
        return QStringLiteral("2");
    if (channelsText == QLatin1String("5.1"))
        return QStringLiteral("6");
    return QString();
}

ArgumentList build(const OptionTexts &options, const QString &input, const QString &output,
                   const QString &sourceSize) {
    ArgumentList list{kInput, input, kOverwrite};
    const auto addPair = [&list](const QString &word, const QString &value) {
        if (!value.isEmpty())
            list << word << value;
    };

    addPair(kVideoSize, sizeValue(options.vsize, sourceSize));
    addPair(kVideoBitrate, bitrateValue(options.vbitrate));
    addPair(kFrameRate, frameRateValue(options.vframeRate));
    addPair(kAspect, aspectValue(options.vaspect));
    if (options.vcodec.isEmpty()) {
        list << kNoVideo;
    } else {
        const QStringList group = CodecTables::videoCodecArgs(options.vcodec);
        if (!group.isEmpty())
            list << kVideoCodec << group;
    }

    list << kAudioCodec << CodecTables::audioEncoderName(options.acodec);
    addPair(kSampleRate, sampleRateValue(options.asamplerate));
    addPair(kAudioBitrate, bitrateValue(options.abitrate));
    addPair(kChannels, channelsValue(options.achannels));
    list << output;
    return list;
}

} // namespace Arguments
