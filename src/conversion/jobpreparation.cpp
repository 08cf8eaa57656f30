#include "jobpreparation.h"

#include <cmath>

#include <QFileInfo>

#include "profiles/argumentlist.h"

namespace {

const QString kXvidEncoder = QStringLiteral("libxvid");

// Neutral Tweak values for rows whose effect list is short.
const QStringList kNeutralEffects = {QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("1")};
constexpr int kScriptEntry = 4;
constexpr int kLogoEntry = 5;

int integerAfter(const QStringList &list, const QString &word) {
    return Arguments::value(list, word).toInt(); // not a whole number: 0
}

// Removes the element after word, then word itself.
void removePair(QStringList &list, const QString &word) {
    const qsizetype at = list.indexOf(word);
    if (at < 0)
        return;
    if (at + 1 < list.size())
        list.removeAt(at + 1);
    list.removeAt(at);
}

double effectValue(const QStringList &effects, int entry) {
    return effects.value(entry, kNeutralEffects.at(entry)).toDouble();
}

qint64 fileSize(const QString &path) {
    if (path.isEmpty())
        return 0;
    const QFileInfo info(path);
    return info.isFile() ? info.size() : 0;
}

// A positive, finite number such as "1.778" or "16:9"; empty otherwise.
QString usableAspect(const QString &ratio) {
    const QString text = ratio.trimmed();
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() > 2)
        return QString();
    double value = 1.0;
    for (int i = 0; i < parts.size(); ++i) {
        bool ok = false;
        const double part = parts.at(i).toDouble(&ok);
        if (!ok || !std::isfinite(part) || part <= 0.0)
            return QString();
        value = i == 0 ? part : value / part;
    }
    return std::isfinite(value) && value > 0.0 ? text : QString();
}

} // namespace

namespace JobPreparation {

bool needsScript(const QStringList &arguments, const QStringList &effects) {
    // Exact comparisons: "1.0" is unchanged, "1.05" is not.
    return effectValue(effects, 0) != 1.0 || effectValue(effects, 1) != 0.0 ||
           effectValue(effects, 2) != 1.0 || fileSize(effects.value(kLogoEntry)) > 0 ||
           integerAfter(arguments, Arguments::kTrimLength) > 0 ||
           integerAfter(arguments, Arguments::kTrimStart) > 0;
}

LaunchPlan prepare(const QStringList &arguments, const QStringList &effects,
                   const QString &displayRatio) {
    LaunchPlan plan;
    QStringList &list = plan.arguments;
    list = arguments;

    // An Xvid job keeps its source's shape: it gets the source's display
    // ratio only when it carries no aspect of its own, never a fixed 4:3.
    const qsizetype xvid = list.indexOf(kXvidEncoder);
    const qsizetype overwrite = list.indexOf(Arguments::kOverwrite);
    const QString aspect = usableAspect(displayRatio);
    if (xvid > 0 && !list.contains(Arguments::kAspect) && overwrite >= 0 && !aspect.isEmpty()) {
        list.insert(overwrite + 1, Arguments::kAspect);
        list.insert(overwrite + 2, aspect);
    }

    if (needsScript(arguments, effects)) {
        const QString script = effects.value(kScriptEntry);
        const qsizetype input = list.indexOf(Arguments::kInput);
        if (script.isEmpty() || input < 0 || input + 1 >= list.size()) {
            // Converting the plain source would drop the trim and effects
            // without a word; better not to convert at all.
            plan.problem = QStringLiteral("The file's edit script is missing.");
        } else {
            list[input + 1] = script;
            plan.readsScript = true;
            for (const QString &word : Arguments::kCropWords)
                removePair(list, word);
        }
    }

    // The trim is carried out by the script alone.
    removePair(list, Arguments::kTrimStart);
    removePair(list, Arguments::kTrimLength);
    return plan;
}

qint64 durationTextSeconds(const QString &durationText) {
    if (!durationText.contains(QLatin1Char(':')))
        return -1;
    const qint64 hours = durationText.section(QLatin1Char(':'), 0, 0).toLongLong();
    const qint64 minutes = durationText.section(QLatin1Char(':'), 1, 1).toLongLong();
    const qint64 seconds = durationText.section(QLatin1Char(':'), 2).toLongLong();
    return (hours * 60 + minutes) * 60 + seconds;
}

qint64 outputSeconds(const QStringList &arguments, const QString &durationText) {
    const qint64 source = durationTextSeconds(durationText);
    const qint64 start = integerAfter(arguments, Arguments::kTrimStart);
    const qint64 length = integerAfter(arguments, Arguments::kTrimLength);
    if (length > 0)
        return source > 0 && start >= 0 ? std::min(length, std::max<qint64>(0, source - start))
                                        : length;
    if (start > 0 && source > 0)
        return std::max<qint64>(0, source - start);
    return source;
}

} // namespace JobPreparation
