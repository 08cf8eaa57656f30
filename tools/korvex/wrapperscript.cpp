#include "wrapperscript.h"

#include <cmath>

#include <QDir>
#include <QRegularExpression>
#include <QStringList>

#include "conversion/scriptlines.h"

namespace {

using ScriptLines::CompactLine;
using ScriptLines::Line;

// Every form of every line the program writes, as the compact line matches it.
struct Matcher {
    QVector<QVector<QRegularExpression>> expressions;
    Matcher() {
        for (const ScriptLines::Shape &shape : ScriptLines::shapes()) {
            QVector<QRegularExpression> list;
            for (const ScriptLines::Form &form : shape.forms)
                list.append(ScriptLines::pattern(form));
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
bool apply(Line step, const QRegularExpressionMatch &m, const CompactLine &line,
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
    case Line::Width:
        // The block writes "W/4*4": AviSynth's integer sum.
        if (!integer(1, &s->outputWidth))
            return false;
        s->outputWidth = std::max(0, s->outputWidth / 4 * 4);
        return true;
    case Line::Height:
        if (!integer(1, &s->outputHeight))
            return false;
        s->outputHeight = std::max(0, s->outputHeight / 2 * 2);
        return true;
    case Line::FrameRate:
        s->frameRate = number(1);
        if (!(s->frameRate > 0 && s->frameRate <= 1000)) {
            *error = QStringLiteral("the frame rate %1 is out of range").arg(m.captured(1));
            return false;
        }
        return true;
    case Line::Source:
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
    case Line::ConvertFps:
        if (line.strings.at(0).compare(QLatin1String("YUY2"), Qt::CaseInsensitive) != 0 ||
            line.strings.at(1).compare(QLatin1String("YV12"), Qt::CaseInsensitive) != 0) {
            *error = QStringLiteral("unexpected colour spaces in the frame-rate conversion");
            return false;
        }
        return true;
    case Line::DisplayRatio: {
        bool ok = false;
        const double ratio = m.captured(1).toDouble(&ok);
        s->displayRatio = ok && std::isfinite(ratio) && ratio > 0.05 && ratio < 20 ? ratio : 0;
        return true;
    }
    case Line::Crop:
        return integer(1, &s->cropLeft) && integer(2, &s->cropTop) && integer(3, &s->cropWidth) &&
               integer(4, &s->cropHeight);
    case Line::Tweak:
        s->hue = number(1);
        s->saturation = number(2);
        s->brightness = number(3);
        s->contrast = number(4);
        return true;
    case Line::AudioSource:
        *audioSource = absolutePath(line.strings.first(), folder);
        return true;
    case Line::AudioDelay:
        s->audioDelay = number(1);
        return true;
    case Line::FirstTrim:
    case Line::LastTrim: {
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
    case Line::Logo:
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
    int next = 0; // index into ScriptLines::shapes()
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
        if (!ScriptLines::compact(raw, &line, &why))
            return fail(why);
        if (line.text.isEmpty())
            continue;
        if (next >= ScriptLines::shapes().size())
            return fail(QStringLiteral("nothing may follow \"return clip\""));
        bool matched = false;
        while (next < ScriptLines::shapes().size() && !matched) {
            for (const QRegularExpression &re : matcher.expressions.at(next)) {
                const QRegularExpressionMatch m = re.match(line.text);
                if (!m.hasMatch())
                    continue;
                if (!apply(ScriptLines::shapes().at(next).line, m, line, scriptFolder, script, &audioSource,
                           &why))
                    return fail(why);
                matched = true;
                break;
            }
            if (!matched && !ScriptLines::shapes().at(next).optional)
                break;
            ++next;
        }
        if (!matched)
            return fail(QStringLiteral("not a line of a Quillora script"));
    }
    if (next < ScriptLines::shapes().size()) {
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
