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
    // A row's effect list: saturation, brightness, contrast, then the paths.
    QStringList effects(const QStringList &values, const QString &logo) const {
        return values + QStringList{kSource, m_script, logo};
    }
    static QStringList xvidJob(const QStringList &afterOverwrite = {}) {
        return QStringList{"-i", kSource, "-y"} + afterOverwrite +
               QStringList{"-vcodec", "libxvid", "-threads", "8", "-acodec", "libmp3lame", "-ab",
                           "128", kOutput};
    }

    static inline const QString kSource = QStringLiteral("/media/clips/my clip.mp4");
    static inline const QString kOutput = QStringLiteral("/home/u/out/my clip.avi");
    static inline const QStringList kNeutral = {"1", "0", "1"};
    static inline const QStringList kCrops = {"-cropleft",  "8", "-croptop",    "0",
                                              "-cropright", "8", "-cropbottom", "0"};

    QTemporaryDir m_dir;
    QString m_script;
    QString m_missingLogo;
    QString m_emptyLogo;
    QString m_logo;
};

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

void TestJobPreparation::preparesATrimmedXvidJob() {
    const QStringList stored = QStringList{"-ss", "12", "-t", "30", "-i", kSource} + kCrops +
                               QStringList{"-y", "-vcodec", "libxvid", "-threads", "8", "-acodec",
                                           "libmp3lame", kOutput};
    const QStringList before = stored;

    const JobPreparation::LaunchPlan plan =
        JobPreparation::prepare(stored, effects(kNeutral, m_missingLogo), "1.333");
    QVERIFY(plan.problem.isEmpty());
    QVERIFY(plan.readsScript);
    QCOMPARE(plan.arguments, (QStringList{"-i", m_script, "-y", "-aspect", "1.333", "-vcodec",
                                          "libxvid", "-threads", "8", "-acodec", "libmp3lame",
                                          kOutput}));
    QCOMPARE(stored, before);

    // Preparing again gives the same launch.
    QCOMPARE(JobPreparation::prepare(stored, effects(kNeutral, m_missingLogo), "1.333").arguments,
             plan.arguments);
}

void TestJobPreparation::keepsTheSourceShapeForXvid_data() {
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("ratio");
    QTest::addColumn<QStringList>("expected");

    const QStringList own = xvidJob({"-aspect", "16:9"});
    const QStringList chosen = xvidJob({"-aspect", "4:3"});
    const QStringList mpeg4 = {"-i", kSource, "-y", "-vcodec", "mpeg4", "-acodec", "aac", kOutput};
    // clang-format off
    QTest::newRow("16:9 source")            << xvidJob() << "1.778" << xvidJob({"-aspect", "1.778"});
    QTest::newRow("4:3 source")             << xvidJob() << "1.333" << xvidJob({"-aspect", "1.333"});
    QTest::newRow("own aspect stays alone") << own       << "1.333" << own;
    QTest::newRow("4:3 chosen")             << chosen    << "1.778" << chosen;
    QTest::newRow("unknown ratio")          << xvidJob() << ""      << xvidJob();
    QTest::newRow("unusable ratio")         << xvidJob() << "inf"   << xvidJob();
    QTest::newRow("zero ratio")             << xvidJob() << "0.000" << xvidJob();
    QTest::newRow("not xvid")               << mpeg4     << "1.778" << mpeg4;
    // clang-format on
}

void TestJobPreparation::keepsTheSourceShapeForXvid() {
    QFETCH(QStringList, stored);
    QFETCH(QString, ratio);
    const JobPreparation::LaunchPlan plan =
        JobPreparation::prepare(stored, effects(kNeutral, m_missingLogo), ratio);
    QTEST(plan.arguments, "expected");
    QVERIFY(!plan.readsScript);
}

void TestJobPreparation::switchesToTheScript_data() {
    QTest::addColumn<QStringList>("trim");
    QTest::addColumn<QStringList>("effectValues");
    QTest::addColumn<QString>("logo");
    QTest::addColumn<bool>("readsScript");

    const QStringList none;
    const auto trim = [](const char *start, const char *length) {
        return QStringList{"-ss", start, "-t", length};
    };
    // clang-format off
    QTest::newRow("nothing to do")    << none << kNeutral                          << m_missingLogo << false;
    QTest::newRow("neutral decimals") << none << QStringList{"1.0", "0.0", "1.0"} << m_missingLogo << false;
    QTest::newRow("saturation 1.05")  << none << QStringList{"1.05", "0", "1"}    << m_missingLogo << true;
    QTest::newRow("brightness")       << none << QStringList{"1", "-51", "1"}     << m_missingLogo << true;
    QTest::newRow("contrast")         << none << QStringList{"1", "0", "0.5"}     << m_missingLogo << true;
    QTest::newRow("empty logo file")  << none << kNeutral                          << m_emptyLogo   << false;
    QTest::newRow("logo")             << none << kNeutral                          << m_logo        << true;
    QTest::newRow("trim start only")  << trim("5", "0")  << kNeutral << m_missingLogo << true;
    QTest::newRow("trim length")      << trim("0", "30") << kNeutral << m_missingLogo << true;
    QTest::newRow("zero trim")        << trim("0", "0")  << kNeutral << m_missingLogo << false;
    // clang-format on
}

void TestJobPreparation::switchesToTheScript() {
    QFETCH(QStringList, trim);
    QFETCH(QStringList, effectValues);
    QFETCH(QString, logo);
    QFETCH(bool, readsScript);

    const QStringList tail = {"-y", "-vcodec", "mpeg4", "-acodec", "aac", kOutput};
    const QStringList stored = trim + QStringList{"-i", kSource} + kCrops + tail;
    const QStringList rowEffects = effects(effectValues, logo);
    QCOMPARE(JobPreparation::needsScript(stored, rowEffects), readsScript);

    const JobPreparation::LaunchPlan plan = JobPreparation::prepare(stored, rowEffects, "1.333");
    QCOMPARE(plan.readsScript, readsScript);
    // No trim pair ever reaches the transcoder; without a script it crops the
    // source itself.
    const QStringList input =
        readsScript ? QStringList{"-i", m_script} : QStringList{"-i", kSource} + kCrops;
    QCOMPARE(plan.arguments, input + tail);
}

void TestJobPreparation::refusesAScriptJobWithoutScript() {
    const QStringList stored = {"-ss", "5", "-t", "10", "-i", kSource, "-y", "-acodec", "aac",
                                kOutput};
    const JobPreparation::LaunchPlan plan = JobPreparation::prepare(stored, kNeutral, "");
    QVERIFY(!plan.problem.isEmpty());
    QVERIFY(!plan.readsScript);
}

void TestJobPreparation::measuresTheOutput_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("durationText");
    QTest::addColumn<qint64>("seconds");

    const QStringList plain = {"-i", kSource, "-y", kOutput};
    const auto trimmed = [&plain](const char *start, const char *length) {
        return QStringList{"-ss", start, "-t", length} + plain;
    };
    // clang-format off
    QTest::newRow("whole file")        << plain               << "00:01:23"   << qint64(83);
    QTest::newRow("hours")             << plain               << "101:00:01"  << qint64(363601);
    QTest::newRow("trimmed")           << trimmed("10", "30") << "00:01:23"   << qint64(30);
    QTest::newRow("trim past the end") << trimmed("70", "30") << "00:01:23"   << qint64(13);
    QTest::newRow("start only")        << trimmed("10", "0")  << "00:01:23"   << qint64(73);
    QTest::newRow("zero trim")         << trimmed("0", "0")   << "00:01:23"   << qint64(83);
    QTest::newRow("unknown duration")  << plain               << "N/A, start" << qint64(-1);
    QTest::newRow("trimmed, unknown")  << trimmed("0", "30")  << "N/A, start" << qint64(30);
    // clang-format on
}

void TestJobPreparation::measuresTheOutput() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, durationText);
    QTEST(JobPreparation::outputSeconds(arguments, durationText), "seconds");
}

QTEST_APPLESS_MAIN(TestJobPreparation)
#include "tst_jobpreparation.moc"
