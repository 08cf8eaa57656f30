// The benchmark's driver (bench/run-bench.sh): adds ten clips to a main
// window with a mix of profiles, writes the prepared command line of every
// job to a file (one argument a line, a blank line after each job) so that
// the script can run the same jobs in a shell loop, then converts them
// through the Convert button a number of times and prints the best wall
// time of a whole run in milliseconds.
//
// Usage: run-bench-driver STAGE_DIR MEDIA_DIR OUT_DIR JOBS_FILE ROUNDS

#include <cstdio>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTreeWidget>

#include "app/version.h"
#include "conversion/jobpreparation.h"
#include "filelist/filerow.h"
#include "mainwindow/mainwindow.h"
#include "platform/platform.h"
#include "profiles/argumentlist.h"
#include "profiles/profilecatalogue.h"
#include "ui_mainwindow.h"

namespace {

struct Clip {
    const char *name;
    int profileKey;
};

// Picture and sound in several containers, a longer clip and a sound file,
// into AVI, MP4, Xvid, WMV and MP3.
const Clip kClips[] = {
    {"av.mp4", 2}, {"av.avi", 0}, {"av.mkv", 711},   {"av.flv", 2},   {"av.wmv", 608},
    {"av.mpg", 0}, {"av.mov", 2}, {"wide.mp4", 711}, {"long.mp4", 2}, {"audio.mp3", 108},
};

void chooseProfile(MainWindow &window, int key) {
    Ui::MainWindow *ui = window.form();
    const int profile = key % ProfileCatalogue::kKeyFactor;
    ui->ProfileDevice->setCurrentIndex(key / ProfileCatalogue::kKeyFactor);
    window.on_ProfileDevice_activated(ui->ProfileDevice->currentText());
    ui->ProfileDetails->setCurrentIndex(profile);
    window.on_ProfileDetails_activated(profile);
}

bool writeJobs(QTreeWidget *list, const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        const QTreeWidgetItem *row = list->topLevelItem(index);
        const JobPreparation::LaunchPlan plan =
            JobPreparation::prepare(FileRow::arguments(row), FileRow::effects(row),
                                    FileRow::mediaInfo(row).at(FileRow::DisplayRatio));
        for (const QString &argument : plan.arguments)
            file.write(argument.toUtf8() + '\n');
        file.write("\n");
    }
    return true;
}

// The wall time of one whole run: from the click, through the check of its
// folders and the run's start, to its end; -1 when it did not start or did
// not finish. The end is told, not polled, so that the driver costs the
// machine nothing while the jobs run.
qint64 runOnce(MainWindow &window) {
    QTreeWidget *list = window.form()->treeWidget;
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        QTreeWidgetItem *row = list->topLevelItem(index);
        row->setCheckState(FileRow::CheckColumn, Qt::Checked);
        QFile::remove(Arguments::outputPath(FileRow::arguments(row)));
    }

    ConversionController &run = window.conversion();
    QEventLoop loop;
    QObject round;
    bool over = false;
    QString failure;
    const auto end = [&](const QString &why) {
        over = true;
        failure = why;
        loop.quit();
    };
    // The window begins the run on the same signal, connected first.
    QObject::connect(&run, &ConversionController::outputFoldersReady, &round, [&] {
        if (!run.isActive())
            end(QStringLiteral("the run did not start"));
    });
    QObject::connect(&run, &ConversionController::problem, &round, end);
    QObject::connect(&run, &ConversionController::runStopped, &round,
                     [&] { end(QStringLiteral("the run stopped")); });
    QObject::connect(&run, &ConversionController::runFinished, &round, [&] { end(QString()); });
    QElapsedTimer clock;
    clock.start();
    window.on_ConvertePushButton_clicked();
    if (!over)
        loop.exec();
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "run-bench-driver: %s\n", qPrintable(failure));
        return -1;
    }
    return clock.elapsed();
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QLatin1String(kOrganizationName));
    QCoreApplication::setApplicationName(QLatin1String(kProductName));
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 6) {
        std::fprintf(stderr, "usage: run-bench-driver STAGE_DIR MEDIA_DIR OUT_DIR JOBS_FILE "
                             "ROUNDS\n");
        return 2;
    }
    const QString stage = arguments.at(1);
    const QString media = arguments.at(2);
    const QString out = arguments.at(3);
    const QString jobs = arguments.at(4);
    const int rounds = qMax(1, arguments.at(5).toInt());

    Platform::setInstallDir(stage);
    QDir::setCurrent(stage);
    MainWindow window;
    window.form()->PathLine->setText(out);
    for (const Clip &clip : kClips) {
        window.addPickedFiles({media + QLatin1Char('/') + QLatin1String(clip.name)});
        chooseProfile(window, clip.profileKey);
    }
    QTreeWidget *list = window.form()->treeWidget;
    if (list->topLevelItemCount() != int(std::size(kClips)) || !writeJobs(list, jobs)) {
        std::fprintf(stderr, "run-bench-driver: the clips could not be added\n");
        return 1;
    }

    qint64 best = -1;
    for (int round = 0; round < rounds; ++round) {
        const qint64 took = runOnce(window);
        if (took < 0)
            return 1;
        best = best < 0 ? took : qMin(best, took);
    }
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        const QVariant status =
            list->topLevelItem(index)->data(FileRow::StatusColumn, FileRow::StatusWordRole);
        if (status.toString() != FileRow::kStatusFinished) {
            std::fprintf(stderr, "run-bench-driver: row %d ended \"%s\"\n", index,
                         qPrintable(status.toString()));
            return 1;
        }
    }
    std::printf("%lld\n", static_cast<long long>(best));
    return 0;
}
