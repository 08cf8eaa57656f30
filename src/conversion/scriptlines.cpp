#include "scriptlines.h"

namespace ScriptLines {

namespace {

// A plain decimal with an optional exponent, as AviSynth reads one.
const QString kNumberBody = QStringLiteral("[-+]?(?:\\d+(?:\\.\\d*)?|\\.\\d+)(?:[eE][-+]?\\d+)?");

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool isPlaceholder(const QString &text, qsizetype i) {
    return text.at(i) == QLatin1Char('%') && i + 1 < text.size() && text.at(i + 1).isDigit();
}

QString valuePattern(Value value) {
    const QString number = QLatin1Char('(') + kNumberBody + QLatin1Char(')');
    switch (value) {
    case Value::Text:
        return QRegularExpression::escape(QString(kStringMark));
    case Value::Number:
        return number;
    case Value::OptionalNumber:
        return number + QLatin1Char('?');
    case Value::SampleRate:
        return QStringLiteral("([A-Za-z0-9.]*)");
    case Value::Ratio:
        return QStringLiteral("((?:%1)|[-+]?inf|nan)?").arg(kNumberBody);
    case Value::FourNumbers:
        return QStringList(4, number).join(QLatin1Char(','));
    }
    return QString();
}

} // namespace

const QVector<Shape> &shapes() {
    using V = Value;
    static const QVector<Shape> table = {
        {Line::Plugin, false, {{QStringLiteral("LoadPlugin(%1)"), {V::Text}}}},
        {Line::Import, false, {{QStringLiteral("Import(%1)"), {V::Text}}}},
        {Line::Header, false, {{QStringLiteral("Import(%1)"), {V::Text}}}},
        {Line::Width, false, {{QStringLiteral("OutputWidth = %1/4*4"), {V::OptionalNumber}}}},
        {Line::Height, false, {{QStringLiteral("OutputHeight = %1/2*2"), {V::OptionalNumber}}}},
        {Line::FrameRate, false, {{QStringLiteral("OutputFrameRate = %1"), {V::Number}}}},
        {Line::Channels, false, {{QStringLiteral("OutputChannels = %1"), {V::OptionalNumber}}}},
        {Line::SampleRate, false, {{QStringLiteral("OutputSamplesPerSec = %1"), {V::SampleRate}}}},
        {Line::BitsPerSample, false, {{QStringLiteral("OutputBitsPerSample = %1"), {V::Number}}}},
        {Line::Source,
         false,
         {{QStringLiteral(
               "clip = FFmpegSource2(%1,atrack = -1, seekmode = 1,colorspace = \"yv12\")"),
           {V::Text}},
          {QStringLiteral("clip = DirectShowSource(%1)"), {V::Text}}}},
        {Line::ConvertFps,
         false,
         {{QStringLiteral("clip = (clip.frameRate/OutputFrameRate >= 1.5) ? "
                          "clip.SWScale(colorspace=\"YUY2\").ConvertFPS(OutputFrameRate, "
                          "zone=80).SWScale(colorspace=\"YV12\") : "
                          "clip.ConvertFPS(OutputFrameRate)"),
           {}}}},
        {Line::ClipDelay, false, {{QStringLiteral("clip = clip.DelayAudio(%1)"), {V::Number}}}},
        {Line::DisplayRatio, false, {{QStringLiteral("clip = clip.DisplayRatio(%1)"), {V::Ratio}}}},
        {Line::Crop,
         false,
         {{QStringLiteral("clip = clip.Crop(%1, %2, %3, %4)"),
           {V::Number, V::Number, V::Number, V::Number}}}},
        {Line::Tweak, false, {{QStringLiteral("clip = clip.Tweak(%1)"), {V::FourNumbers}}}},
        {Line::AudioSource,
         false,
         {{QStringLiteral("audio = FFmpegSource2(%1, atrack = -1).KillVideo()"), {V::Text}},
          {QStringLiteral("audio = DirectShowSource(%1).KillVideo()"), {V::Text}}}},
        {Line::AudioDelay, false, {{QStringLiteral("audio = audio.DelayAudio(%1)"), {V::Number}}}},
        {Line::AudioDub,
         false,
         {{QStringLiteral("clip = AudioDubEx(clip, audio).Trim(0, clip.FrameCount)"), {}}}},
        {Line::Letterbox,
         false,
         {{QStringLiteral("clip = clip.ResizeLetterBox(OutputWidth, OutputHeight)"), {}}}},
        {Line::FirstTrim,
         false,
         {{QStringLiteral("clip = clip.Trim(%1, %2)"), {V::Number, V::Number}}}},
        {Line::Logo, true, {{QStringLiteral("clip = clip.Logo2(%1)"), {V::Text}}}},
        {Line::LastTrim,
         true,
         {{QStringLiteral("clip = clip.Trim(%1, %2)"), {V::Number, V::Number}}}},
        {Line::Return, false, {{QStringLiteral("return clip"), {}}}},
    };
    return table;
}

QString write(Line line, const QStringList &values, int form) {
    const QString &text = shapes().at(int(line)).forms.at(form).text;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isPlaceholder(text, i)) {
            out += values.value(text.at(i + 1).digitValue() - 1);
            ++i;
        } else {
            out += text.at(i);
        }
    }
    return out;
}

bool compact(const QString &line, CompactLine *out, QString *error) {
    out->text.clear();
    out->strings.clear();
    bool pendingBlank = false;
    qsizetype i = 0;
    auto put = [&](QChar c) {
        if (pendingBlank && !out->text.isEmpty() && isWordChar(out->text.back()) && isWordChar(c))
            out->text += QLatin1Char(' ');
        pendingBlank = false;
        out->text += c;
    };
    while (i < line.size()) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('#'))
            break;
        if (c.isSpace()) {
            pendingBlank = true;
            ++i;
            continue;
        }
        if (c == QLatin1Char('"')) {
            const bool triple = line.mid(i, 3) == QLatin1String("\"\"\"");
            const qsizetype open = triple ? 3 : 1;
            const qsizetype close =
                line.indexOf(triple ? QStringLiteral("\"\"\"") : QStringLiteral("\""), i + open);
            if (close < 0) {
                if (error)
                    *error = QStringLiteral("a quoted text is not closed");
                return false;
            }
            out->strings.append(line.mid(i + open, close - i - open));
            put(kStringMark);
            i = close + open;
            continue;
        }
        put(c);
        ++i;
    }
    return true;
}

QRegularExpression pattern(const Form &form) {
    // The form is compacted as a read line is, so that its blanks and its
    // fixed quoted words ("yv12") fall where the reader looks for them.
    CompactLine shape;
    compact(form.text, &shape, nullptr);
    QString expression = QStringLiteral("^");
    QString literal;
    for (qsizetype i = 0; i < shape.text.size(); ++i) {
        if (isPlaceholder(shape.text, i)) {
            expression += QRegularExpression::escape(literal);
            literal.clear();
            expression += valuePattern(form.values.value(shape.text.at(i + 1).digitValue() - 1));
            ++i;
        } else {
            literal += shape.text.at(i);
        }
    }
    expression += QRegularExpression::escape(literal) + QLatin1Char('$');
    return QRegularExpression(expression, QRegularExpression::CaseInsensitiveOption);
}

} // namespace ScriptLines
