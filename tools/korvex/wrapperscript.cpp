#include "wrapperscript.h"

#include <cmath>

#include <QDir>
#include <QRegularExpression>
#include <QStringList>

namespace {

const QChar kStringMark(0x01);

// One line with its string literals taken out (each replaced by kStringMark),
// comments cut off and blanks dropped except between two words.
struct CompactLine {
    QString text;
    QStringList strings;
};

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool compact(const QString &line, CompactLine *out, QString *error) {
    out->text.clear();
    out->strings.clear();
    bool pendingBlank = false;
    int i = 0;
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
            const int open = triple ? 3 : 1;
            const int close =
                line.indexOf(triple ? QStringLiteral("\"\"\"") : QStringLiteral("\""), i + open);
            if (close < 0) {
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

const QString kNumber = QStringLiteral("([-+]?(?:\\d+(?:\\.\\d*)?|\\.\\d+)(?:[eE][-+]?\\d+)?)");

enum class Step {
    Plugin,
    Import1,
    Import2,
    Width,
    Height,
    FrameRate,
    Channels,
    SampleRate,
    BitsPerSample,
    Source,
    ConvertFps,
    ClipDelay,
    DisplayRatio,
    Crop,
    Tweak,
    AudioSource,
    AudioDelay,
    AudioDub,
    Letterbox,
    FirstTrim,
    Logo,
    LastTrim,
    Return
};

struct Rule {
    Step step;
    bool optional;
    QStringList patterns; // any one matches
};

QRegularExpression anchored(QString pattern) {
    pattern.replace(QLatin1String("NUM"), kNumber);
    pattern.replace(QLatin1String("STR"), QString(kStringMark));
    return QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$'),
                              QRegularExpression::CaseInsensitiveOption);
}

const QVector<Rule> &rules() {
    static const QVector<Rule> table = {
        {Step::Plugin, false, {R"(LoadPlugin\(STR\))"}},
        {Step::Import1, false, {R"(Import\(STR\))"}},
        {Step::Import2, false, {R"(Import\(STR\))"}},
        {Step::Width, false, {R"(OutputWidth=NUM?/4\*4)"}},
        {Step::Height, false, {R"(OutputHeight=NUM?/2\*2)"}},
        {Step::FrameRate, false, {R"(OutputFrameRate=NUM)"}},
        {Step::Channels, false, {R"(OutputChannels=NUM?)"}},
        {Step::SampleRate, false, {R"(OutputSamplesPerSec=([A-Za-z0-9.]*))"}},
        {Step::BitsPerSample, false, {R"(OutputBitsPerSample=NUM)"}},
        {Step::Source,
         false,
         {R"(clip=FFmpegSource2\(STR,atrack=-1,seekmode=1,colorspace=STR\))",
          R"(clip=DirectShowSource\(STR\))"}},
        {Step::ConvertFps,
         false,
         {R"(clip=\(clip\.frameRate/OutputFrameRate>=1\.5\)\?clip\.SWScale\(colorspace=STR\))"
          R"(\.ConvertFPS\(OutputFrameRate,zone=80\)\.SWScale\(colorspace=STR\))"
          R"(:clip\.ConvertFPS\(OutputFrameRate\))"}},
        {Step::ClipDelay, false, {R"(clip=clip\.DelayAudio\(NUM\))"}},
        {Step::DisplayRatio, false, {R"(clip=clip\.DisplayRatio\((NUM|[-+]?inf|nan)?\))"}},
        {Step::Crop, false, {R"(clip=clip\.Crop\(NUM,NUM,NUM,NUM\))"}},
        {Step::Tweak, false, {R"(clip=clip\.Tweak\(NUM,NUM,NUM,NUM\))"}},
        {Step::AudioSource,
         false,
         {R"(audio=FFmpegSource2\(STR,atrack=-1\)\.KillVideo\(\))",
          R"(audio=DirectShowSource\(STR\)\.KillVideo\(\))"}},
        {Step::AudioDelay, false, {R"(audio=audio\.DelayAudio\(NUM\))"}},
        {Step::AudioDub, false, {R"(clip=AudioDubEx\(clip,audio\)\.Trim\(0,clip\.FrameCount\))"}},
        {Step::Letterbox, false, {R"(clip=clip\.ResizeLetterBox\(OutputWidth,OutputHeight\))"}},
        {Step::FirstTrim, false, {R"(clip=clip\.Trim\(NUM,NUM\))"}},
        {Step::Logo, true, {R"(clip=clip\.Logo2\(STR\))"}},
        {Step::LastTrim, true, {R"(clip=clip\.Trim\(NUM,NUM\))"}},
        {Step::Return, false, {R"(return clip)"}},
    };
    return table;
}

struct Matcher {
    QVector<QVector<QRegularExpression>> expressions;
    Matcher() {
        for (const Rule &rule : rules()) {
            QVector<QRegularExpression> list;
            for (const QString &p : rule.patterns)
                list.append(anchored(p));
            expressions.append(list);
        }
    }
};

bool toInteger(const QString &text, int *value) {
    bool ok = false;
    const double d = text.toDouble(&ok);
    if (!ok || d != std::floor(d) || std::fabs(d) > 1e9)
        return false;
    *value = int(d);
    return true;
}

QString absolutePath(const QString &path, const QString &folder) {
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    return QDir::cleanPath(folder + QLatin1Char('/') + path);
}

// Reads the values of one recognised line into the script.
bool apply(Step step, const QRegularExpressionMatch &m, const CompactLine &line,
           const QString &folder, WrapperScript *s, QString *audioSource, QString *error) {
    auto number = [&](int i) { return m.captured(i).toDouble(); };
    auto integer = [&](int i, int *target) {
        if (m.captured(i).isEmpty()) {
            *target = 0;
            return true;
        }
        if (toInteger(m.captured(i), target))
            return true;
        *error = QStringLiteral("'%1' is not a whole number").arg(m.captured(i));
        return false;
    };
    switch (step) {
    case Step::Width:
        // The block writes "W/4*4": AviSynth's integer sum.
        if (!integer(1, &s->outputWidth))
            return false;
        s->outputWidth = std::max(0, s->outputWidth / 4 * 4);
        return true;
    case Step::Height:
        if (!integer(1, &s->outputHeight))
            return false;
        s->outputHeight = std::max(0, s->outputHeight / 2 * 2);
        return true;
    case Step::FrameRate:
        s->frameRate = number(1);
        if (!(s->frameRate > 0 && s->frameRate <= 1000)) {
            *error = QStringLiteral("the frame rate %1 is out of range").arg(m.captured(1));
            return false;
        }
        return true;
    case Step::Source:
        if (line.strings.size() == 2 &&
            line.strings.at(1).compare(QLatin1String("yv12"), Qt::CaseInsensitive) != 0) {
            *error = QStringLiteral("unexpected colour space \"%1\"").arg(line.strings.at(1));
            return false;
        }
        if (line.strings.first().isEmpty()) {
            *error = QStringLiteral("the source path is empty");
            return false;
        }
        s->sourcePath = absolutePath(line.strings.first(), folder);
        return true;
    case Step::ConvertFps:
        if (line.strings.at(0).compare(QLatin1String("YUY2"), Qt::CaseInsensitive) != 0 ||
            line.strings.at(1).compare(QLatin1String("YV12"), Qt::CaseInsensitive) != 0) {
            *error = QStringLiteral("unexpected colour spaces in the frame-rate conversion");
            return false;
        }
        return true;
    case Step::DisplayRatio: {
        bool ok = false;
        const double ratio = m.captured(1).toDouble(&ok);
        s->displayRatio = ok && std::isfinite(ratio) && ratio > 0.05 && ratio < 20 ? ratio : 0;
        return true;
    }
    case Step::Crop:
        return integer(1, &s->cropLeft) && integer(2, &s->cropTop) && integer(3, &s->cropWidth) &&
               integer(4, &s->cropHeight);
    case Step::Tweak:
        s->hue = number(1);
        s->saturation = number(2);
        s->brightness = number(3);
        s->contrast = number(4);
        return true;
    case Step::AudioSource:
        *audioSource = absolutePath(line.strings.first(), folder);
        return true;
    case Step::AudioDelay:
        s->audioDelay = number(1);
        return true;
    case Step::FirstTrim:
    case Step::LastTrim: {
        WrapperScript::Trim trim;
        if (!integer(1, &trim.first) || !integer(2, &trim.last))
            return false;
        if (trim.first < 0) {
            *error = QStringLiteral("a trim cannot start before the first frame");
            return false;
        }
        s->trims.append(trim);
        return true;
    }
    case Step::Logo:
        if (line.strings.first().isEmpty()) {
            *error = QStringLiteral("the logo path is empty");
            return false;
        }
        s->logoPath = absolutePath(line.strings.first(), folder);
        return true;
    default:
        // The header paths, the channel and sample-rate block, the clip's own
        // audio delay (AudioDubEx replaces that audio) and the fixed lines
        // carry nothing a conversion needs.
        return true;
    }
}

} // namespace

bool WrapperScript::parse(const QString &text, const QString &scriptFolder, WrapperScript *script,
                          QString *error) {
    static const Matcher matcher;
    *script = WrapperScript();
    QString body = text;
    if (body.startsWith(QChar(0xFEFF)))
        body.remove(0, 1);
    const QStringList lines = body.split(QLatin1Char('\n'));
    int next = 0; // index into rules()
    QString audioSource;
    for (int n = 0; n < lines.size(); ++n) {
        QString raw = lines.at(n);
        if (raw.endsWith(QLatin1Char('\r')))
            raw.chop(1);
        CompactLine line;
        QString why;
        auto fail = [&](const QString &reason) {
            *error = QStringLiteral("line %1: %2: %3").arg(n + 1).arg(reason, raw.trimmed());
            return false;
        };
        if (!compact(raw, &line, &why))
            return fail(why);
        if (line.text.isEmpty())
            continue;
        if (next >= rules().size())
            return fail(QStringLiteral("nothing may follow \"return clip\""));
        bool matched = false;
        while (next < rules().size() && !matched) {
            for (const QRegularExpression &re : matcher.expressions.at(next)) {
                const QRegularExpressionMatch m = re.match(line.text);
                if (!m.hasMatch())
                    continue;
                if (!apply(rules().at(next).step, m, line, scriptFolder, script, &audioSource,
                           &why))
                    return fail(why);
                matched = true;
                break;
            }
            if (!matched && !rules().at(next).optional)
                break;
            ++next;
        }
        if (!matched)
            return fail(QStringLiteral("not a line of a Quillora script"));
    }
    if (next < rules().size()) {
        *error = QStringLiteral("the script ends before \"return clip\"");
        return false;
    }
    if (audioSource != script->sourcePath) {
        *error = QStringLiteral("the sound and the picture name different sources");
        return false;
    }
    qint64 first = 0;
    qint64 last = 0;
    if (!script->keptFrames(&first, &last)) {
        *error = QStringLiteral("the trims leave no frames");
        return false;
    }
    return true;
}

bool WrapperScript::keptFrames(qint64 *first, qint64 *last) const {
    qint64 start = 0;
    qint64 end = -1; // inclusive; -1 for the end of the clip
    for (const Trim &t : trims) {
        const qint64 newStart = start + t.first;
        qint64 newEnd;
        if (t.last == 0)
            newEnd = end;
        else if (t.last < 0)
            newEnd = newStart - qint64(t.last) - 1;
        else
            newEnd = start + t.last;
        if (end >= 0 && (newEnd < 0 || newEnd > end))
            newEnd = end;
        if (newEnd >= 0 && newStart > newEnd)
            return false;
        start = newStart;
        end = newEnd;
    }
    *first = start;
    *last = end;
    return true;
}
