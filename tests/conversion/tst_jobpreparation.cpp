#include <QtTest>

#include "conversion/jobpreparation.h"

class TestJobPreparation : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void preparesATrimmedXvidJob();
    void keepsTheSourceShapeForXvid_data();
    void keepsTheSourceShapeForXvid();
    void switchesToTheScript_data();
    void switchesToTheScript();
    void refusesAScriptJobWithoutScript();
    void measuresTheOutput_data();
    void measuresTheOutput();

private:
    QStringList effects(const QString &saturation, const QString &brightness,
                        const QString &contrast, const QString &logo) const;

    QTemporaryDir m_dir;
    QString m_script;
    QString m_missingLogo;
    QString m_emptyLogo;
    QString m_logo;
};

namespace {

const QString kSource = QStringLiteral("/media/clips/my clip.mp4");
const QString kOutput = QStringLiteral("/home/u/out/my clip.avi");

QStringList xvidJob(const QStringList &front = {}, const QStringList &afterOverwrite = {}) {
    return front + QStringList{"-i", kSource, "-y"} + afterOverwrite +
           QStringList{"-vcodec",    "libxvid", "-threads", "8",    "-acodec",
                       "libmp3lame", "-ab",     "128",      kOutput};
}

const QStringList kCrops = {"-cropleft",  "8", "-croptop",    "0",
                            "-cropright", "8", "-cropbottom", "0"};

} // namespace

void TestJobPreparation::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_script = m_dir.filePath("avsifile0.avs");
    m_missingLogo = m_dir.filePath("avsifile0.png");
    m_emptyLogo = m_dir.filePath("empty.png");
    m_logo = m_dir.filePath("logo.png");
    QFile empty(m_emptyLogo);
    QVERIFY(empty.open(QIODevice::WriteOnly));
    QFile logo(m_logo);
    QVERIFY(logo.open(QIODevice::WriteOnly));
    logo.write("\x89PNG");
}

QStringList TestJobPreparation::effects(const QString &saturation, const QString &brightness,
                                        const QString &contrast, const QString &logo) const {
    return {saturation, brightness, contrast, kSource, m_script, logo};
}

void TestJobPreparation::preparesATrimmedXvidJob() {
    QStringList stored = {"-ss", "12", "-t", "30", "-i", kSource};
    stored << kCrops << "-y"
           << "-vcodec"
           << "libxvid"
           << "-threads"
           << "8"
           << "-acodec"
           << "libmp3lame" << kOutput;
    const QStringList before = stored;

    const JobPreparation::LaunchPlan plan =
        JobPreparation::prepare(stored, effects("1", "0", "1", m_missingLogo), "1.333");
    QVERIFY(plan.problem.isEmpty());
    QVERIFY(plan.readsScript);
    QCOMPARE(plan.arguments,
             (QStringList{"-i", m_script, "-y", "-aspect", "1.333", "-vcodec", "libxvid",
                          "-threads", "8", "-acodec", "libmp3lame", kOutput}));
    QCOMPARE(stored, before);

    // Preparing again gives the same launch.
    QCOMPARE(
        JobPreparation::prepare(stored, effects("1", "0", "1", m_missingLogo), "1.333").arguments,
        plan.arguments);
}

void TestJobPreparation::keepsTheSourceShapeForXvid_data() {
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("ratio");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("16:9 source") << xvidJob() << "1.778" << xvidJob({}, {"-aspect", "1.778"});
    QTest::newRow("4:3 source") << xvidJob() << "1.333" << xvidJob({}, {"-aspect", "1.333"});
    QTest::newRow("own aspect stays alone")
        << xvidJob({}, {"-aspect", "16:9"}) << "1.333" << xvidJob({}, {"-aspect", "16:9"});
    QTest::newRow("4:3 chosen") << xvidJob({}, {"-aspect", "4:3"}) << "1.778"
                                << xvidJob({}, {"-aspect", "4:3"});
    QTest::newRow("unknown ratio") << xvidJob() << "" << xvidJob();
    QTest::newRow("unusable ratio") << xvidJob() << "inf" << xvidJob();
    QTest::newRow("zero ratio") << xvidJob() << "0.000" << xvidJob();
    const QStringList mpeg4 = {"-i", kSource, "-y", "-vcodec", "mpeg4", "-acodec", "aac", kOutput};
    QTest::newRow("not xvid") << mpeg4 << "1.778" << mpeg4;
}

void TestJobPreparation::keepsTheSourceShapeForXvid() {
    QFETCH(QStringList, stored);
    QFETCH(QString, ratio);
    const JobPreparation::LaunchPlan plan =
        JobPreparation::prepare(stored, effects("1", "0", "1", m_missingLogo), ratio);
    QTEST(plan.arguments, "expected");
    QVERIFY(!plan.readsScript);
}

void TestJobPreparation::switchesToTheScript_data() {
    QTest::addColumn<QStringList>("trim");
    QTest::addColumn<QStringList>("effectValues");
    QTest::addColumn<QString>("logo");
    QTest::addColumn<bool>("readsScript");

    const QStringList neutral = {"1", "0", "1"};
    QTest::newRow("nothing to do") << QStringList() << neutral << m_missingLogo << false;
    QTest::newRow("neutral written as decimals")
        << QStringList() << QStringList{"1.0", "0.0", "1.0"} << m_missingLogo << false;
    QTest::newRow("saturation 1.05")
        << QStringList() << QStringList{"1.05", "0", "1"} << m_missingLogo << true;
    QTest::newRow("brightness") << QStringList() << QStringList{"1", "-51", "1"} << m_missingLogo
                                << true;
    QTest::newRow("contrast") << QStringList() << QStringList{"1", "0", "0.5"} << m_missingLogo
                              << true;
    QTest::newRow("empty logo file") << QStringList() << neutral << m_emptyLogo << false;
    QTest::newRow("logo") << QStringList() << neutral << m_logo << true;
    QTest::newRow("trim start only")
        << QStringList{"-ss", "5", "-t", "0"} << neutral << m_missingLogo << true;
    QTest::newRow("trim length") << QStringList{"-ss", "0", "-t", "30"} << neutral << m_missingLogo
                                 << true;
    QTest::newRow("zero trim") << QStringList{"-ss", "0", "-t", "0"} << neutral << m_missingLogo
                               << false;
}

void TestJobPreparation::switchesToTheScript() {
    QFETCH(QStringList, trim);
    QFETCH(QStringList, effectValues);
    QFETCH(QString, logo);
    QFETCH(bool, readsScript);

    QStringList stored = trim;
    stored << "-i" << kSource << kCrops << "-y"
           << "-vcodec"
           << "mpeg4"
           << "-acodec"
           << "aac" << kOutput;
    const QStringList rowEffects =
        effects(effectValues.at(0), effectValues.at(1), effectValues.at(2), logo);
    QCOMPARE(JobPreparation::needsScript(stored, rowEffects), readsScript);

    const JobPreparation::LaunchPlan plan = JobPreparation::prepare(stored, rowEffects, "1.333");
    QCOMPARE(plan.readsScript, readsScript);
    QStringList expected = {"-i", readsScript ? m_script : kSource};
    if (!readsScript)
        expected << kCrops; // the transcoder crops the source itself
    expected << "-y"
             << "-vcodec"
             << "mpeg4"
             << "-acodec"
             << "aac" << kOutput;
    QCOMPARE(plan.arguments, expected); // no trim pair ever reaches the transcoder
}

void TestJobPreparation::refusesAScriptJobWithoutScript() {
    const QStringList stored = {"-ss",   "5",  "-t",      "10",  "-i",
                                kSource, "-y", "-acodec", "aac", kOutput};
    const JobPreparation::LaunchPlan plan = JobPreparation::prepare(stored, {"1", "0", "1"}, "");
    QVERIFY(!plan.problem.isEmpty());
    QVERIFY(!plan.readsScript);
}

void TestJobPreparation::measuresTheOutput_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("durationText");
    QTest::addColumn<qint64>("seconds");

    const QStringList plain = {"-i", kSource, "-y", kOutput};
    QTest::newRow("whole file") << plain << "00:01:23" << qint64(83);
    QTest::newRow("hours") << plain << "101:00:01" << qint64(363601);
    QTest::newRow("trimmed") << (QStringList{"-ss", "10", "-t", "30"} + plain) << "00:01:23"
                             << qint64(30);
    QTest::newRow("trim past the end")
        << (QStringList{"-ss", "70", "-t", "30"} + plain) << "00:01:23" << qint64(13);
    QTest::newRow("start only") << (QStringList{"-ss", "10", "-t", "0"} + plain) << "00:01:23"
                                << qint64(73);
    QTest::newRow("zero trim") << (QStringList{"-ss", "0", "-t", "0"} + plain) << "00:01:23"
                               << qint64(83);
    QTest::newRow("unknown duration") << plain << "N/A, start" << qint64(-1);
    QTest::newRow("trimmed, unknown duration")
        << (QStringList{"-ss", "0", "-t", "30"} + plain) << "N/A, start" << qint64(30);
}

void TestJobPreparation::measuresTheOutput() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, durationText);
    QTEST(JobPreparation::outputSeconds(arguments, durationText), "seconds");
}

QTEST_APPLESS_MAIN(TestJobPreparation)
#include "tst_jobpreparation.moc"
