// Adds every file of a folder to the real main window through the open
// dialog's path list, and reports how long it took and how well the window
// kept working meanwhile: the ticks of a 10 ms timer, the longest gap between
// two of them, the paint events the widgets received, how often a second the
// main window and the add's dialog were repainted, and the processor time
// the window's thread spent (the probes' own processes not counted); and
// when the rows' scripts were all on disk, counted from the start as the add
// is.
// Usage: add-files-bench-driver INSTALL_FOLDER CLIP_FOLDER [PROBE_WORKERS]
// Prints: "window_ms=N rows=N ticks=N max_gap_ms=N paints=N
//          window_repaints_per_s=X dialog_repaints_per_s=X workers=N
//          main_cpu_ms=N main_cpu_per_file_ms=X scripts_ms=N"

#include <cstdio>

#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include "filelist/addflow.h"
#include "mainwindow/mainwindow.h"
#include "platform/platform.h"
#include "ui_mainwindow.h"

namespace {

double threadCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

class PaintCounter : public QObject
{
public:
    explicit PaintCounter(const QWidget *window) : window(window) {}

    int paints = 0;
    // The paints of the windows themselves: the main window's (its skin
    // shows through its widgets, so it is painted beneath any that repaint)
    // and the add's progress dialog's.
    int windowRepaints = 0;
    int dialogRepaints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        ++paints;
        if (watched == window)
            ++windowRepaints;
        else if (watched->isWidgetType() && static_cast<QWidget *>(watched)->isWindow())
            ++dialogRepaints;
        return false;
    }

private:
    const QWidget *window;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: add-files-bench-driver INSTALL_FOLDER CLIP_FOLDER [PROBE_WORKERS]\n");
        return 2;
    }
    QCoreApplication::setOrganizationName(QStringLiteral("FennVideo"));
    QCoreApplication::setApplicationName(QStringLiteral("QuilloraBench"));
    Platform::setInstallDir(QString::fromLocal8Bit(argv[1]));
    QDir::setCurrent(QString::fromLocal8Bit(argv[1]));

    const QDir clips(QString::fromLocal8Bit(argv[2]));
    QStringList paths;
    for (const QString &name : clips.entryList(QDir::Files, QDir::Name))
        paths << clips.filePath(name);

    MainWindow window;
    // How many probes run at once is the machine's to say, not the user's;
    // the benchmark alone sets it, to show how adding scales.
    if (argc > 3)
        window.addFlow().probePool().setWorkerCount(QByteArray(argv[3]).toInt());
    window.show();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents();

    PaintCounter counter(&window);
    app.installEventFilter(&counter);
    int ticks = 0;
    qint64 maxGap = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        maxGap = qMax(maxGap, sinceTick.restart());
    });
    ticker.start(10);
    sinceTick.start();

    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = threadCpuMs();
    window.addPickedFiles(paths);
    const double cpuSpent = threadCpuMs() - cpuBefore;
    const qint64 spent = clock.elapsed();
    ticker.stop();
    maxGap = qMax(maxGap, sinceTick.elapsed());
    const int paints = counter.paints;
    const auto perSecond = [spent](int count) {
        return spent > 0 ? count * 1000.0 / double(spent) : 0.0;
    };
    while (!window.conversion().scripts().isSettled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 scriptsSpent = clock.elapsed();

    std::printf("window_ms=%lld rows=%d ticks=%d max_gap_ms=%lld paints=%d "
                "window_repaints_per_s=%.0f dialog_repaints_per_s=%.0f workers=%d "
                "main_cpu_ms=%.0f main_cpu_per_file_ms=%.2f scripts_ms=%lld\n",
                static_cast<long long>(spent), window.form()->treeWidget->topLevelItemCount(),
                ticks, static_cast<long long>(maxGap), paints,
                perSecond(counter.windowRepaints), perSecond(counter.dialogRepaints),
                window.addFlow().probePool().workerCount(), cpuSpent,
                paths.isEmpty() ? 0.0 : cpuSpent / double(paths.size()),
                static_cast<long long>(scriptsSpent));
    return window.form()->treeWidget->topLevelItemCount() == paths.size() ? 0 : 1;
}
