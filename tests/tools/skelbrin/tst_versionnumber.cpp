#include <QTest>

#include "versionnumber.h"

using skelbrin::VersionNumber;

class TestVersionNumber : public QObject {
    Q_OBJECT

private slots:
    void order_data();
    void order();
    void serverAnswer_data();
    void serverAnswer();
};

void TestVersionNumber::order_data() {
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<int>("sign");

    // clang-format off
    QTest::newRow("equal")                              << "2.1.2.367"   << "2.1.2.367" << 0;
    QTest::newRow("build number")                       << "2.1.2.400"   << "2.1.2.367" << 1;
    QTest::newRow("numeric, not by letters")            << "2.1.10"      << "2.1.9.999" << 1;
    QTest::newRow("missing fields are zero")            << "2.1"         << "2.1.0.0"   << 0;
    QTest::newRow("longer is newer only when non-zero") << "2.1.2.367.1" << "2.1.2.367" << 1;
    QTest::newRow("older major")                        << "1.99.99.999" << "2.0"       << -1;
    QTest::newRow("leading zeros")                      << "2.01.002"    << "2.1.2"     << 0;
    // clang-format on
}

void TestVersionNumber::order() {
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(int, sign);
    const VersionNumber a = VersionNumber::parse(left);
    const VersionNumber b = VersionNumber::parse(right);
    QVERIFY(a.isValid() && b.isValid());
    QCOMPARE(qBound(-1, a.compare(b), 1), sign);
    QCOMPARE(qBound(-1, b.compare(a), 1), -sign);
}

void TestVersionNumber::serverAnswer_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("version");

    QTest::newRow("bare") << QByteArray("2.1.3.400") << "2.1.3.400";
    QTest::newRow("line ending") << QByteArray("2.1.3.400\r\n") << "2.1.3.400";
    // clang-format off
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF" "2.1.3\n") << "2.1.3";
    // clang-format on
    QTest::newRow("single number") << QByteArray("3") << "3";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("blank") << QByteArray(" \n") << "";
    QTest::newRow("web page") << QByteArray("<html><body>Not found</body></html>") << "";
    QTest::newRow("words after it") << QByteArray("2.1.3 beta") << "";
    QTest::newRow("letters inside") << QByteArray("2.1.3a") << "";
    QTest::newRow("empty field") << QByteArray("2..3") << "";
    QTest::newRow("trailing dot") << QByteArray("2.1.") << "";
    QTest::newRow("sign") << QByteArray("-2.1") << "";
    QTest::newRow("field too long") << QByteArray("2.12345678901") << "";
    QTest::newRow("too long to be a version") << QByteArray(200, '1') << "";
}

void TestVersionNumber::serverAnswer() {
    QFETCH(QByteArray, body);
    QFETCH(QString, version);
    const VersionNumber parsed = VersionNumber::fromServerAnswer(body);
    QCOMPARE(parsed.isValid(), !version.isEmpty());
    QCOMPARE(parsed.toString(), version);
}

QTEST_APPLESS_MAIN(TestVersionNumber)
#include "tst_versionnumber.moc"
