#include <QtTest>

#include <climits>

#include "conversion/timetext.h"
#include "filelist/effectscale.h"

// Time text and the effect scales between the editor's percent and the
// script's Tweak units.
class tst_TimeText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void formatDuration_data();
    void formatDuration();
    void scales_data();
    void scales();
    void roundTrips();
};

void tst_TimeText::formatDuration_data() {
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    // clang-format off
    QTest::newRow("negative")      << qint64(-1)      << "00:00:00";
    QTest::newRow("very negative") << qint64(INT_MIN) << "00:00:00";
    QTest::newRow("zero")          << qint64(0)       << "00:00:00";
    QTest::newRow("59")            << qint64(59)      << "00:00:59";
    QTest::newRow("60")            << qint64(60)      << "00:01:00";
    QTest::newRow("3599")          << qint64(3599)    << "00:59:59";
    QTest::newRow("3600")          << qint64(3600)    << "01:00:00";
    QTest::newRow("359999")        << qint64(359999)  << "99:59:59";
    QTest::newRow("100 hours")     << qint64(360000)  << "100:00:00";
    QTest::newRow("INT_MAX")       << qint64(INT_MAX) << "596523:14:07";
    // clang-format on
}

void tst_TimeText::formatDuration() {
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(::formatDuration(seconds), text);
}

void tst_TimeText::scales_data() {
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    // clang-format off
    QTest::newRow("level 127.5")       << "levelToPercent" << "127.5" << "50";
    QTest::newRow("level -51")         << "levelToPercent" << "-51"   << "-20";
    QTest::newRow("level text")        << "levelToPercent" << "abc"   << "0";
    QTest::newRow("percent 50 level")  << "percentToLevel" << "50"    << "127.5";
    QTest::newRow("percent -20 level") << "percentToLevel" << "-20"   << "-51";
    QTest::newRow("percent 33 level")  << "percentToLevel" << "33"    << "84.15";
    QTest::newRow("gain 0.5")          << "gainToPercent"  << "0.5"   << "-50";
    QTest::newRow("gain 1")            << "gainToPercent"  << "1"     << "0";
    QTest::newRow("gain 5.5")          << "gainToPercent"  << "5.5"   << "50";
    QTest::newRow("gain 2")            << "gainToPercent"  << "2"     << "11.1111";
    QTest::newRow("gain 1.5")          << "gainToPercent"  << "1.5"   << "5.55556";
    QTest::newRow("gain text")         << "gainToPercent"  << "x"     << "-100";
    QTest::newRow("percent -50 gain")  << "percentToGain"  << "-50"   << "0.5";
    QTest::newRow("percent 0 gain")    << "percentToGain"  << "0"     << "1";
    QTest::newRow("percent 50 gain")   << "percentToGain"  << "50"    << "5.5";
    QTest::newRow("percent 100 gain")  << "percentToGain"  << "100"   << "10";
    QTest::newRow("percent 12.5 gain") << "percentToGain"  << "12.5"  << "2.125";
    QTest::newRow("percent text gain") << "percentToGain"  << ""      << "1";
    // clang-format on
}

void tst_TimeText::scales() {
    QFETCH(QString, function);
    QFETCH(QString, in);
    const QHash<QString, QString (*)(const QString &)> functions{
        {"levelToPercent", EffectScale::levelToPercent},
        {"percentToLevel", EffectScale::percentToLevel},
        {"gainToPercent", EffectScale::gainToPercent},
        {"percentToGain", EffectScale::percentToGain}};
    QTEST(functions.value(function)(in), "out");
}

void tst_TimeText::roundTrips() {
    for (int percent = -100; percent <= 100; ++percent) {
        const QString text = QString::number(percent);
        QCOMPARE(EffectScale::gainToPercent(EffectScale::percentToGain(text)), text);
        QCOMPARE(EffectScale::levelToPercent(EffectScale::percentToLevel(text)), text);
    }
    QCOMPARE(EffectScale::percentToGain(QStringLiteral("33")), QStringLiteral("3.97"));
}

QTEST_APPLESS_MAIN(tst_TimeText)
#include "tst_timetext.moc"
