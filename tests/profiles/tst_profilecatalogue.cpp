#include <QFileInfo>
#include <QSet>
#include <QtTest>

#include "profiles/profilecatalogue.h"

class TestProfileCatalogue : public QObject {
    Q_OBJECT

private slots:
    void categoriesInOrder();
    void categoryByExactText_data();
    void categoryByExactText();
    void keysAreDenseAndUnique();
    void lookupOutsideTheTable_data();
    void lookupOutsideTheTable();
    void labelsDecideTheExtension_data();
    void labelsDecideTheExtension();
    void labelsFollowTheDescriptions();
    void sharedProfileFile();
    void devicePictures_data();
    void devicePictures();
    void picturesAreStaged();
};

void TestProfileCatalogue::categoriesInOrder() {
    const DeviceCategoryList categories = ProfileCatalogue::deviceCategoryList();
    const QList<int> counts{10, 11, 4, 6, 12, 3, 11, 13, 4, 11, 2, 38, 12, 4, 3};
    QCOMPARE(categories.size(), counts.size());
    int total = 0;
    for (int i = 0; i < categories.size(); ++i) {
        QCOMPARE(ProfileCatalogue::profileCount(i), counts.at(i));
        QCOMPARE(ProfileCatalogue::descriptions(i).size(), counts.at(i));
        QCOMPARE(ProfileCatalogue::categoryIndex(categories.at(i)), i);
        QCOMPARE(ProfileCatalogue::isAudioOnly(i), i == 1);
        total += counts.at(i);
    }
    QCOMPARE(total, ProfileCatalogue::kProfileCount);
    QCOMPARE(ProfileCatalogue::entries().size(), ProfileCatalogue::kProfileCount);
    QVERIFY(ProfileCatalogue::descriptions(15).isEmpty());
    QVERIFY(ProfileCatalogue::descriptions(-1).isEmpty());
}

void TestProfileCatalogue::categoryByExactText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    // clang-format off
    QTest::newRow("first")          << "General Video" << 0;
    QTest::newRow("audio")          << "General Audio" << 1;
    QTest::newRow("last")           << "Windows Phone" << 14;
    QTest::newRow("other case")     << "Xbox360"       << -1;
    QTest::newRow("lower case")     << "general video" << -1;
    QTest::newRow("trailing blank") << "Wii "          << -1;
    QTest::newRow("empty")          << ""              << -1;
    // clang-format on
}

void TestProfileCatalogue::categoryByExactText() {
    QFETCH(QString, text);
    QFETCH(int, index);
    QCOMPARE(ProfileCatalogue::categoryIndex(text), index);
}

void TestProfileCatalogue::keysAreDenseAndUnique() {
    QSet<int> keys;
    QSet<QString> descriptions;
    for (const ProfileEntry &entry : ProfileCatalogue::entries()) {
        QVERIFY2(!keys.contains(entry.key), qPrintable(QString::number(entry.key)));
        keys.insert(entry.key);
        QVERIFY2(!descriptions.contains(entry.description), qPrintable(entry.description));
        descriptions.insert(entry.description);
        QCOMPARE(entry.key, entry.categoryIndex * 100 + entry.detailIndex);
        QCOMPARE(entry.categoryText,
                 ProfileCatalogue::deviceCategoryList().at(entry.categoryIndex));
        // The combo index of a profile is its detail index.
        QCOMPARE(ProfileCatalogue::descriptions(entry.categoryIndex).at(entry.detailIndex),
                 entry.description);
        QVERIFY(!entry.fileName.isEmpty());
        QVERIFY(!entry.formatLabel.isEmpty());
    }
    for (int category = 0; category < ProfileCatalogue::kCategoryCount; ++category) {
        const int count = ProfileCatalogue::profileCount(category);
        for (int detail = 0; detail < count; ++detail)
            QVERIFY(keys.contains(category * 100 + detail));
    }
}

void TestProfileCatalogue::lookupOutsideTheTable_data() {
    QTest::addColumn<int>("category");
    QTest::addColumn<int>("detail");
    QTest::addColumn<bool>("exists");
    // clang-format off
    QTest::newRow("411")         << 4  << 11  << true;
    QTest::newRow("412")         << 4  << 12  << false;
    QTest::newRow("1137")        << 11 << 37  << true;
    QTest::newRow("1138")        << 11 << 38  << false;
    QTest::newRow("10")          << 0  << 10  << false;
    QTest::newRow("1402")        << 14 << 2   << true;
    QTest::newRow("1403")        << 14 << 3   << false;
    QTest::newRow("detail -1")   << 3  << -1  << false;
    QTest::newRow("detail 100 is not the next category") << 0 << 100 << false;
    QTest::newRow("category -1") << -1 << 0   << false;
    QTest::newRow("category 15") << 15 << 0   << false;
    // clang-format on
}

void TestProfileCatalogue::lookupOutsideTheTable() {
    QFETCH(int, category);
    QFETCH(int, detail);
    QFETCH(bool, exists);
    QCOMPARE(ProfileCatalogue::entry(category, detail).has_value(), exists);
    QVERIFY(!ProfileCatalogue::entry(-1).has_value());
    QVERIFY(!ProfileCatalogue::entry(111).has_value());
}

void TestProfileCatalogue::labelsDecideTheExtension_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("label");
    // The exceptions to "the label is the description's extension".
    QTest::newRow("xbox ts") << 706 << "TS";
    QTest::newRow("ps3 ts") << 906 << "TS";
    QTest::newRow("samsung 3gp") << 1132 << "3GP";
}

void TestProfileCatalogue::labelsDecideTheExtension() {
    QFETCH(int, key);
    QFETCH(QString, label);
    const auto entry = ProfileCatalogue::entry(key);
    QVERIFY(entry);
    QCOMPARE(entry->formatLabel, label);
    QCOMPARE(ProfileCatalogue::extension(entry->formatLabel), label.toLower());
}

void TestProfileCatalogue::labelsFollowTheDescriptions() {
    QSet<QString> labels;
    for (const ProfileEntry &e : ProfileCatalogue::entries()) {
        labels.insert(e.formatLabel);
        if (e.key == 706 || e.key == 906 || e.key == 1132)
            continue;
        const QString pattern = e.description.section(QStringLiteral("(*."), -1).chopped(1);
        QCOMPARE(e.formatLabel, pattern.toUpper());
    }
    QCOMPARE(labels.size(), 23);
}

void TestProfileCatalogue::sharedProfileFile() {
    const auto x1i = ProfileCatalogue::entry(1133);
    const auto x1a = ProfileCatalogue::entry(1137);
    QVERIFY(x1i && x1a);
    QCOMPARE(x1i->description, QString("Sony XPERIA X1i-X1c MPEG-4 Video(*.mp4)"));
    QCOMPARE(x1a->description, QString("Sony XPERIA X1a MPEG-4 Video(*.mp4)"));
    QCOMPARE(x1i->fileName, QString("Sony XPERIA X1a MPEG-4 Video.xml"));
    QCOMPARE(x1a->fileName, x1i->fileName);

    QHash<QString, int> uses;
    for (const ProfileEntry &e : ProfileCatalogue::entries())
        ++uses[e.fileName];
    QCOMPARE(uses.size(), 143);
    for (auto it = uses.cbegin(); it != uses.cend(); ++it)
        QCOMPARE(it.value(), it.key() == x1a->fileName ? 2 : 1);
}

void TestProfileCatalogue::devicePictures_data() {
    QTest::addColumn<int>("category");
    QTest::addColumn<int>("detail");
    QTest::addColumn<QString>("picture");
    // clang-format off
    QTest::newRow("general video")   << 0  << 0  << "images/default.png";
    QTest::newRow("ipod classic")    << 4  << 3  << "images/Apple_IPod_classic.png";
    QTest::newRow("ipod nano")       << 4  << 4  << "images/Apple_IPod_Nano.png";
    QTest::newRow("ipod nano m4v")   << 4  << 6  << "images/Apple_IPod_Nano.png";
    QTest::newRow("ipod touch")      << 4  << 7  << "images/Apple_IPod_touch.png";
    QTest::newRow("ipod touch m4v")  << 4  << 11 << "images/Apple_IPod_touch.png";
    QTest::newRow("ipod no profile") << 4  << -1 << "images/Apple_IPod_classic.png";
    QTest::newRow("hd video")        << 6  << 0  << "images/default.png";
    QTest::newRow("out of range")    << 15 << 0  << "images/default.png";
    QTest::newRow("negative")        << -1 << 0  << "images/default.png";
    // clang-format on
}

void TestProfileCatalogue::devicePictures() {
    QFETCH(int, category);
    QFETCH(int, detail);
    QFETCH(QString, picture);
    QCOMPARE(ProfileCatalogue::devicePicture(category, detail), picture);
}

void TestProfileCatalogue::picturesAreStaged()
{
    // The names are used byte for byte: "Apple_Ipad.PNG" and "apple_ipad.png"
    // are different files here.
    const QString stage = qEnvironmentVariable("QUILLORA_STAGE_DIR");
    QCOMPARE(ProfileCatalogue::devicePictures().size(), 16);
    for (const QString &picture : ProfileCatalogue::devicePictures())
        QVERIFY2(QFileInfo::exists(stage + "/" + picture), qPrintable(picture));
}

QTEST_APPLESS_MAIN(TestProfileCatalogue)
#include "tst_profilecatalogue.moc"
