#pragma once

#include <optional>

#include <QString>
#include <QStringList>
#include <QVector>

class QDomElement;

// One option list of a profile file: the raw "items" attribute (entries
// joined by ",") and the element's text, the default to select.
struct OptionList {
    QString items;
    QString defaultText;
};

// One "preset" or codec element of a profile file with its three option
// lists: size, bitrate, frame_rate for video; sample_rate, bitrate, channels
// for audio.
struct CodecOption {
    QString name;
    QVector<OptionList> lists; // always three, in the order above
};

// The "vcodec" or "acodec" group of a profile file.
struct CodecGroup {
    bool present = false;
    QString defaultName;
    std::optional<CodecOption> preset; // the group's child named "preset"
    QVector<CodecOption> children;     // every child element, the preset included
};

struct ProfileDocument {
    CodecGroup video;
    CodecGroup audio;
};

// What one combo box should hold after a profile is loaded.
struct ComboFill {
    QStringList items;
    int current = -1; // -1 only when items is empty

    QString currentText() const;
    bool operator==(const ComboFill &other) const;
};

// The eight option combo boxes a profile fills; Vaspect is not part of a
// profile.
struct ProfileSelection {
    bool loaded = false; // false: the file was missing or malformed, all empty
    ComboFill vcodec;
    ComboFill vsize;
    ComboFill vbitrate;
    ComboFill vframeRate;
    ComboFill acodec;
    ComboFill asamplerate;
    ComboFill abitrate;
    ComboFill achannels;
};

// Reads the XML profile files and applies their default-selection rules. The
// main window and the per-file settings dialog both use it, so a row's option
// indexes mean the same entries in both. A window only copies the result
// into its combo boxes. Files are found by path below the installation
// folder; the process's working directory is never changed.
class ProfileLoader {
public:
    enum class ListRule {
        Substring, // size, bitrate, sample_rate: the last entry containing the default
        FrameRate, // as Substring, but entries other than the last lose their "fps"
        Channels,  // "1", "2", "5.1" pick entries 0, 1, 2
    };

    static QString profileFolder(const QString &installDir);
    // The full path of a catalogue file name; empty for a name that would
    // leave the folder (a separator or "..").
    static QString profilePath(const QString &installDir, const QString &fileName);

    // Missing, unreadable or malformed file: a selection with loaded == false
    // and every combo box empty.
    static ProfileSelection load(const QString &installDir, const QString &fileName);
    static ProfileSelection loadFile(const QString &filePath);

    // The catalogue's file for a category and profile when it cannot be read
    // as a profile; empty when it can, or when the indexes name no profile.
    static QString unreadableFile(const QString &installDir, int categoryIndex, int detailIndex);
    // What the user is told about a profile file that cannot be read.
    static QString unreadableMessage(const QString &fileName);

    enum class CodecKind {
        Video,
        Audio,
    };
    // After the codec box of a group changed from entry `shown` to entry
    // `chosen`: the selection with the chosen entry's option lists and their
    // defaults, when they differ from the shown entry's. None when both
    // entries take the same lists (the boxes keep what they show, a value
    // the user typed included) or the file cannot be read.
    static std::optional<ProfileSelection> codecChange(const QString &installDir,
                                                       const QString &fileName, CodecKind kind,
                                                       int shown, int chosen);

    static std::optional<ProfileDocument> parse(const QByteArray &xml);
    static ProfileSelection select(const ProfileDocument &document);
    // As select(), with the given codec entries chosen instead of the file's
    // defaults; an index outside the codec list keeps the default.
    static ProfileSelection selectWithCodecs(const ProfileDocument &document, int videoCodec,
                                             int audioCodec);

    // The codec combo box of a group: the preset's name, then every further
    // child's name; the last child named like the group's default is current,
    // else the preset.
    static ComboFill codecChoices(const CodecGroup &group);
    // The element whose option lists go with the chosen codec entry; none for
    // a group without children.
    static std::optional<CodecOption> codecOption(const CodecGroup &group, int codecIndex);
    static ComboFill optionChoices(const OptionList &list, ListRule rule);

private:
    static CodecGroup readGroup(const QDomElement &root, const QString &tag,
                                const QStringList &listTags);
};
