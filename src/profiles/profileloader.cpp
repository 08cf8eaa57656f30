#include "profileloader.h"

#include <QDir>
#include <QDomDocument>
#include <QDomElement>
#include <QFile>

#include "profiles/profilecatalogue.h"

namespace {

const QStringList kVideoListTags = {QStringLiteral("size"), QStringLiteral("bitrate"),
                                    QStringLiteral("frame_rate")};
const QStringList kAudioListTags = {QStringLiteral("sample_rate"), QStringLiteral("bitrate"),
                                    QStringLiteral("channels")};
constexpr int kFpsSuffixLength = 3;

bool containsDefault(const QString &entry, const QString &defaultText) {
    // An empty default occurs in every entry.
    return defaultText.isEmpty() || entry.contains(defaultText);
}

CodecOption readOption(const QDomElement &element, const QStringList &listTags) {
    CodecOption option;
    option.name = element.attribute(QStringLiteral("name"));
    for (const QString &tag : listTags) {
        const QDomElement listElement = element.firstChildElement(tag);
        OptionList list;
        list.items = listElement.attribute(QStringLiteral("items"));
        list.defaultText = listElement.text();
        option.lists << list;
    }
    return option;
}

} // namespace

QString ComboFill::currentText() const {
    return current >= 0 && current < items.size() ? items.at(current) : QString();
}

bool ComboFill::operator==(const ComboFill &other) const {
    return items == other.items && current == other.current;
}

QString ProfileLoader::profileFolder(const QString &installDir) {
    return installDir + QStringLiteral("/profile");
}

QString ProfileLoader::profilePath(const QString &installDir, const QString &fileName) {
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')) ||
        fileName.contains(QLatin1Char('\\')) || fileName == QLatin1String("..") ||
        fileName == QLatin1String("."))
        return QString();
    return profileFolder(installDir) + QLatin1Char('/') + fileName;
}

ProfileSelection ProfileLoader::load(const QString &installDir, const QString &fileName) {
    const QString path = profilePath(installDir, fileName);
    if (path.isEmpty())
        return ProfileSelection();
    return loadFile(path);
}

ProfileSelection ProfileLoader::loadFile(const QString &filePath) {
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return ProfileSelection();
    const std::optional<ProfileDocument> document = parse(file.readAll());
    if (!document)
        return ProfileSelection();
    return select(*document);
}

QString ProfileLoader::unreadableFile(const QString &installDir, int categoryIndex,
                                      int detailIndex) {
    const std::optional<ProfileEntry> entry = ProfileCatalogue::entry(categoryIndex, detailIndex);
    if (!entry || load(installDir, entry->fileName).loaded)
        return QString();
    return entry->fileName;
}

QString ProfileLoader::unreadableMessage(const QString &fileName) {
    return QStringLiteral("The profile file profile/%1 is missing or cannot be read. Files set "
                          "to this profile are not converted; please install the program again.")
        .arg(fileName);
}

std::optional<ProfileSelection> ProfileLoader::codecChange(const QString &installDir,
                                                           const QString &fileName, CodecKind kind,
                                                           int shown, int chosen) {
    QFile file(profilePath(installDir, fileName));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<ProfileDocument> document = parse(file.readAll());
    if (!document)
        return std::nullopt;
    const bool video = kind == CodecKind::Video;
    const ProfileSelection before =
        selectWithCodecs(*document, video ? shown : -1, video ? -1 : shown);
    const ProfileSelection after =
        selectWithCodecs(*document, video ? chosen : -1, video ? -1 : chosen);
    const bool same = video ? before.vsize == after.vsize && before.vbitrate == after.vbitrate &&
                                  before.vframeRate == after.vframeRate
                            : before.asamplerate == after.asamplerate &&
                                  before.abitrate == after.abitrate &&
                                  before.achannels == after.achannels;
    if (same)
        return std::nullopt;
    return after;
}

std::optional<ProfileDocument> ProfileLoader::parse(const QByteArray &xml) {
    QDomDocument dom;
    if (!dom.setContent(xml))
        return std::nullopt;
    const QDomElement root = dom.documentElement();
    ProfileDocument document;
    document.video = readGroup(root, QStringLiteral("vcodec"), kVideoListTags);
    document.audio = readGroup(root, QStringLiteral("acodec"), kAudioListTags);
    return document;
}

CodecGroup ProfileLoader::readGroup(const QDomElement &root, const QString &tag,
                                    const QStringList &listTags) {
    CodecGroup group;
    const QDomElement element = root.firstChildElement(tag);
    if (element.isNull())
        return group;
    group.present = true;
    group.defaultName = element.attribute(QStringLiteral("default"));
    const QDomElement preset = element.firstChildElement(QStringLiteral("preset"));
    if (!preset.isNull())
        group.preset = readOption(preset, listTags);
    // Only elements count as entries: a comment in a hand-edited file must
    // not shift the codec indexes that rows have stored.
    for (QDomElement child = element.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement())
        group.children << readOption(child, listTags);
    return group;
}

ComboFill ProfileLoader::codecChoices(const CodecGroup &group) {
    ComboFill fill;
    fill.items << (group.preset ? group.preset->name : QString());
    fill.current = 0;
    for (int i = 1; i < group.children.size(); ++i) {
        fill.items << group.children.at(i).name;
        if (group.children.at(i).name == group.defaultName)
            fill.current = i;
    }
    return fill;
}

std::optional<CodecOption> ProfileLoader::codecOption(const CodecGroup &group, int codecIndex) {
    if (group.children.isEmpty())
        return std::nullopt;
    if (group.children.size() == 1)
        return group.preset;
    if (codecIndex < 0 || codecIndex >= group.children.size())
        return std::nullopt;
    return group.children.at(codecIndex);
}

ComboFill ProfileLoader::optionChoices(const OptionList &list, ListRule rule) {
    ComboFill fill;
    if (list.items.isEmpty())
        return fill;
    fill.items = list.items.split(QLatin1Char(','));
    fill.current = 0;
    const int last = fill.items.size() - 1;
    switch (rule) {
    case ListRule::Substring:
        for (int i = 0; i <= last; ++i) {
            if (containsDefault(fill.items.at(i), list.defaultText))
                fill.current = i;
        }
        break;
    case ListRule::FrameRate:
        for (int i = 0; i <= last; ++i) {
            QString tested = fill.items.at(i);
            if (i < last && tested.size() >= kFpsSuffixLength)
                tested.chop(kFpsSuffixLength);
            if (containsDefault(tested, list.defaultText))
                fill.current = i;
        }
        break;
    case ListRule::Channels:
        if (fill.items.size() > 1) {
            int wanted = 0;
            if (list.defaultText == QLatin1String("1"))
                wanted = 0;
            else if (list.defaultText == QLatin1String("2"))
                wanted = 1;
            else if (list.defaultText == QLatin1String("5.1"))
                wanted = 2;
            // "5.1" in a two-entry list would leave the box without a
            // current entry and the row without a channel choice.
            fill.current = wanted < fill.items.size() ? wanted : 0;
        }
        break;
    }
    return fill;
}

ProfileSelection ProfileLoader::select(const ProfileDocument &document) {
    return selectWithCodecs(document, -1, -1);
}

ProfileSelection ProfileLoader::selectWithCodecs(const ProfileDocument &document, int videoCodec,
                                                 int audioCodec) {
    ProfileSelection selection;
    selection.loaded = true;

    selection.vcodec = codecChoices(document.video);
    if (videoCodec >= 0 && videoCodec < selection.vcodec.items.size())
        selection.vcodec.current = videoCodec;
    if (const auto option = codecOption(document.video, selection.vcodec.current)) {
        selection.vsize = optionChoices(option->lists.value(0), ListRule::Substring);
        selection.vbitrate = optionChoices(option->lists.value(1), ListRule::Substring);
        selection.vframeRate = optionChoices(option->lists.value(2), ListRule::FrameRate);
    }

    selection.acodec = codecChoices(document.audio);
    if (audioCodec >= 0 && audioCodec < selection.acodec.items.size())
        selection.acodec.current = audioCodec;
    if (const auto option = codecOption(document.audio, selection.acodec.current)) {
        selection.asamplerate = optionChoices(option->lists.value(0), ListRule::Substring);
        selection.abitrate = optionChoices(option->lists.value(1), ListRule::Substring);
        selection.achannels = optionChoices(option->lists.value(2), ListRule::Channels);
    }
    return selection;
}
