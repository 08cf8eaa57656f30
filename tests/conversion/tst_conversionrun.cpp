#include <QtTest>

#include "conversion/conversionrun.h"

using Action = TickDecision::Action;

class TestConversionRun : public QObject {
    Q_OBJECT

private slots:
    void init();
    void showsRowAndTotalProgress();
    void countsOnlyWorkingTime();
    void runsPastADay();
    void takesEachRowsStatusFromItsOwnJob();
    void endsOnlyWhenTheLastTranscoderHasExited();
    void showsJobsOfUnknownLengthAsBusy();
    void followsChecksMadeDuringTheRun();
    void marksAJobThatVanishedAsFailed();
    void stops();
    void reportsAFullDisk();

private:
    ConversionRun makeRun() {
        return ConversionRun([this] { return m_nowMs; });
    }
    static QVector<RunRow> rows(std::initializer_list<RunRow> list) {
        return QVector<RunRow>(list);
    }

    qint64 m_nowMs = 0;
};

void TestConversionRun::init() {
    m_nowMs = 0;
}

void TestConversionRun::showsRowAndTotalProgress() {
    ConversionRun run = makeRun();
    const QVector<RunRow> list = rows({{true, 120}, {true, 360}});
    QVERIFY(run.start(list));
    QCOMPARE(run.totalSeconds(), 480);

    const TickDecision launch = run.tick(false, list);
    QCOMPARE(launch.action, Action::Launch);
    QCOMPARE(launch.row, 0);
    QVERIFY(!launch.indeterminate);

    m_nowMs = 60000;
    const ProgressUpdate update = run.feed("frame= 750 fps=25 q=2.0 size= 99kB time=30.00 b\r");
    QCOMPARE(update.row, 0);
    QCOMPARE(update.rowPercent, 25);
    QCOMPARE(update.totalPercent, 6);
    QCOMPARE(update.totalLine, QStringLiteral("Total progress:  6%     Elapsed Time:  00:01:00     "
                                              "Remaining Time:  00:15:00"));

    // The first file done: the second one counts from its 120 seconds.
    QCOMPARE(run.jobFinished(0, false).statusWord, QStringLiteral("finished"));
    QCOMPARE(run.tick(false, list).row, 1);
    m_nowMs = 120000;
    const ProgressUpdate second = run.feed("time=120.00 bitrate=1\r");
    QCOMPARE(second.rowPercent, 33);
    QCOMPARE(second.totalPercent, 50);
    QVERIFY(second.totalLine.endsWith(QStringLiteral("Remaining Time:  00:02:00")));
}

void TestConversionRun::countsOnlyWorkingTime() {
    ConversionRun run = makeRun();
    const QVector<RunRow> list = rows({{true, 100}});
    run.start(list);
    run.tick(false, list);

    m_nowMs = 10000;
    run.pause();
    QVERIFY(run.isPaused());
    m_nowMs = 3600000; // an hour on pause
    run.resume();
    QVERIFY(!run.isPaused());
    m_nowMs = 3610000;
    const ProgressUpdate update = run.feed("time=10.00 bitrate=1\r");
    QCOMPARE(run.elapsedMs(), 20000);
    QCOMPARE(update.totalLine,
             QStringLiteral("Total progress:  10%     Elapsed Time:  00:00:20     "
                            "Remaining Time:  00:03:00"));
}

void TestConversionRun::runsPastADay() {
    ConversionRun run = makeRun();
    const QVector<RunRow> list = rows({{true, 200000}});
    run.start(list);
    run.tick(false, list);
    m_nowMs = 25LL * 3600 * 1000; // beyond 24 h, and beyond 2^31 / 100 ms
    const ProgressUpdate update = run.feed("time=100000.00 bitrate=1\r");
    QCOMPARE(update.totalPercent, 50);
    QCOMPARE(update.totalLine,
             QStringLiteral("Total progress:  50%     Elapsed Time:  25:00:00     "
                            "Remaining Time:  25:00:00"));
}

void TestConversionRun::takesEachRowsStatusFromItsOwnJob() {
    ConversionRun run = makeRun();
    const QVector<RunRow> list =
        rows({{true, 10}, {true, 10}, {true, 10}, {true, 10}, {true, 10}, {true, 10}});
    run.start(list);

    QCOMPARE(run.tick(false, list).row, 0);
    JobEnd end = run.jobFinished(0, false);
    QCOMPARE(end.row, 0);
    QCOMPARE(end.statusWord, QStringLiteral("finished"));
    QCOMPARE(end.picture, QStringLiteral("skins/default/status_finished.png"));

    QCOMPARE(run.tick(false, list).row, 1);
    end = run.jobFinished(1, false);
    QCOMPARE(end.statusWord, QStringLiteral("error"));
    QCOMPARE(end.picture, QStringLiteral("skins/default/status_err.png"));

    QCOMPARE(run.tick(false, list).row, 2);
    QCOMPARE(run.jobFinished(0, true).statusWord, QStringLiteral("error"));

    QCOMPARE(run.tick(false, list).row, 3);
    QCOMPARE(run.jobFailedToStart().statusWord, QStringLiteral("error"));

    // A decoding failure reported in the text fails the job whatever it exits with.
    QCOMPARE(run.tick(false, list).row, 4);
    run.feed("Error while decoding stream #0:0: Invalid data found when processing input\n");
    QCOMPARE(run.jobFinished(0, false).statusWord, QStringLiteral("error"));

    // The last job's report may come without its line break.
    QCOMPARE(run.tick(false, list).row, 5);
    run.feed("Error while decoding stream #0:0: Invalid data");
    QCOMPARE(run.jobFinished(0, false).statusWord, QStringLiteral("error"));

    // The failed rows stay as they are: only the finished one is unchecked
    // (and so shown finished) at the end.
    const TickDecision finish = run.tick(false, list);
    QCOMPARE(finish.action, Action::Finish);
    QCOMPARE(finish.rowsToUncheck, QList<int>{0});
    QVERIFY(!run.isActive());
    QCOMPARE(run.tick(false, list).action, Action::Idle);
}

void TestConversionRun::endsOnlyWhenTheLastTranscoderHasExited() {
    ConversionRun run = makeRun();
    const QVector<RunRow> list = rows({{true, 2}, {false, 5}});
    run.start(list);
    QCOMPARE(run.tick(false, list).row, 0);

    const ProgressUpdate done = run.feed("frame=50 time=2.00 bitrate=1\rvideo:50kB audio:30kB "
                                         "subtitle:0kB other streams:0kB global headers:0kB "
                                         "muxing overhead: 1.0%\n");
    QCOMPARE(done.rowPercent, 100);
    QCOMPARE(done.totalPercent, 99); // 100 only once the run is over
    QVERIFY(done.logLines.contains(QStringLiteral("small")));

    // The bar is full, but the transcoder is still at work: wait, never kill.
    for (int tick = 0; tick < 3; ++tick)
        QCOMPARE(run.tick(true, list).action, Action::Wait);
    QVERIFY(run.isActive());

    QCOMPARE(run.jobFinished(0, false).statusWord, QStringLiteral("finished"));
    const TickDecision finish = run.tick(false, list);
    QCOMPARE(finish.action, Action::Finish);
    QCOMPARE(finish.rowsToUncheck, QList<int>{0});
    QCOMPARE(run.doneSeconds(), 0);
}

void TestConversionRun::showsJobsOfUnknownLengthAsBusy() {
    ConversionRun run = makeRun();
    const QVector<RunRow> list = rows({{true, 0}, {true, -1}});
    QVERIFY(run.start(list)); // a run of unknown lengths still runs
    const TickDecision launch = run.tick(false, list);
    QCOMPARE(launch.action, Action::Launch);
    QVERIFY(launch.indeterminate);

    const ProgressUpdate update = run.feed("time=5.00 bitrate=1\r");
    QCOMPARE(update.row, 0);
    QCOMPARE(update.rowPercent, -1);
    QCOMPARE(update.totalPercent, -1);
    QVERIFY(update.totalLine.isEmpty());
    QCOMPARE(run.feed("muxing overhead: 1.0%\n").rowPercent, 100);

    run.jobFinished(0, false);
    QVERIFY(run.tick(false, list).indeterminate);
    run.jobFinished(0, false);
    QCOMPARE(run.tick(false, list).rowsToUncheck, (QList<int>{0, 1}));
}

void TestConversionRun::followsChecksMadeDuringTheRun() {
    ConversionRun run = makeRun();
    QVector<RunRow> list = rows({{false, 10}, {true, 20}, {false, 5}, {true, 30}});
    run.start(list);
    QCOMPARE(run.totalSeconds(), 50);
    QCOMPARE(run.tick(false, list).row, 1);
    QCOMPARE(run.jobNumber(), 2);

    // The user unchecks the last row while the first job runs.
    list[3].checked = false;
    QCOMPARE(run.tick(true, list).action, Action::Wait);
    QCOMPARE(run.totalSeconds(), 20);
    QCOMPARE(run.feed("time=10.00 bitrate=1\r").totalPercent, 50);

    run.jobFinished(0, false);
    QCOMPARE(run.tick(false, list).action, Action::Finish);
}

void TestConversionRun::marksAJobThatVanishedAsFailed() {
    ConversionRun run = makeRun();
    const QVector<RunRow> list = rows({{true, 10}, {true, 10}});
    run.start(list);
    run.tick(false, list);
    // The process is gone, and nobody reported how it ended.
    const TickDecision next = run.tick(false, list);
    QCOMPARE(next.vanishedJob.row, 0);
    QCOMPARE(next.vanishedJob.statusWord, QStringLiteral("error"));
    QCOMPARE(next.action, Action::Launch);
    QCOMPARE(next.row, 1);
}

void TestConversionRun::stops() {
    ConversionRun run = makeRun();
    const QVector<RunRow> list = rows({{true, 10}, {true, 10}});
    QVERIFY(!run.start(rows({{false, 10}})));
    QCOMPARE(run.feed("time=1.00 x\r").row, -1);

    run.start(list);
    run.tick(false, list);
    JobEnd end = run.stop();
    QCOMPARE(end.row, 0);
    QCOMPARE(end.statusWord, QStringLiteral("stopped"));
    QCOMPARE(end.picture, QStringLiteral("skins/default/status_stoped.png"));
    QVERIFY(!run.isActive());
    // The stopped transcoder's last words and its exit are not the row's status.
    QCOMPARE(run.feed("time=3.00 x\r").row, -1);
    QCOMPARE(run.jobFinished(255, false).row, -1);
    QCOMPARE(run.tick(false, list).action, Action::Idle);

    // Between two jobs no row is marked.
    run.start(list);
    run.tick(false, list);
    run.jobFinished(0, false);
    QCOMPARE(run.stop().row, -1);
    QCOMPARE(run.stop().row, -1);
}

void TestConversionRun::reportsAFullDisk() {
    ConversionRun run = makeRun();
    const QVector<RunRow> list = rows({{true, 10}});
    run.start(list);
    run.tick(false, list);
    const ProgressUpdate update =
        run.feed("[mp4 @ 0x1] Error writing trailer: No space left on device\n");
    QVERIFY(update.writeFailed);
    QVERIFY(update.diskFull);
    QVERIFY(update.logLines.contains(QStringLiteral("BIG Operation not permitted")));
    const JobEnd end = run.stop(ConversionRun::StopReason::DiskFull);
    QCOMPARE(end.row, 0);
    QCOMPARE(end.statusWord, QStringLiteral("error"));
}

QTEST_APPLESS_MAIN(TestConversionRun)
#include "tst_conversionrun.moc"
