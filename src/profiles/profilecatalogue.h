#pragma once

#include <optional>

#include <QString>
#include <QStringList>
#include <QVector>

// The fifteen device category texts, in ProfileDevice order.
using DeviceCategoryList = QStringList;

// One output profile. The key is categoryIndex × 100 + detailIndex.
struct ProfileEntry {
    int key = -1;
    int categoryIndex = -1;
    QString categoryText;
    int detailIndex = -1;
    QString description; // the ProfileDetails entry
    QString fileName;    // a bare name inside the installation's "profile" folder
    QString formatLabel; // "AVI"; its lower-case form is the output extension
};

// The fixed table of device categories and output profiles that both the main
// window and the per-file settings dialog present, so that a row's category
// and profile indexes name the same profile in either window. All texts are
// used byte for byte: blanks, case and parentheses are part of them.
class ProfileCatalogue {
public:
    static constexpr int kCategoryCount = 15;
    static constexpr int kProfileCount = 144;
    static constexpr int kAudioOnlyCategory = 1; // "General Audio"
    static constexpr int kKeyFactor = 100;

    static DeviceCategoryList deviceCategoryList();
    // Index of the category whose text equals text exactly; -1 for none.
    static int categoryIndex(const QString &text);
    static bool isAudioOnly(int categoryIndex);
    // Number of profiles of a category; 0 outside 0..14.
    static int profileCount(int categoryIndex);
    // The descriptions of one category in detail order; empty outside 0..14.
    static QStringList descriptions(int categoryIndex);

    static const QVector<ProfileEntry> &entries();
    static std::optional<ProfileEntry> entry(int key);
    static std::optional<ProfileEntry> entry(int categoryIndex, int detailIndex);
    static int key(int categoryIndex, int detailIndex);

    // The picture shown beside the category combo box, relative to the
    // installation folder ("images/xbox.png"). The iPod category picks by the
    // current profile; categories 0, 6 and every value outside 1..14 show the
    // default picture.
    static QString devicePicture(int categoryIndex, int detailIndex);
    // Every picture name the categories use (16).
    static QStringList devicePictures();

    // The output file extension for a format label: its lower-case form.
    static QString extension(const QString &formatLabel);
};
