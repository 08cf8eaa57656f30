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
#include <QPushButton>
#include <QTreeWidget>

#include "app/version.h"
#include "conversion/argumentlist.h"
#include "conversion/jobpreparation.h"
#include "filelist/filerow.h"
#include "mainwindow/mainwindow.h"
#include "platform/platform.h"
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

class RunEndWatch : public QObject {
public:
    RunEndWatch(QWidget *stopButton, QEventLoop *loop) : m_button(stopButton), m_loop(loop) {
        m_button->installEventFilter(this);
    }
    ~RunEndWatch() override { m_button->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == m_button && event->type() == QEvent::EnabledChange && !m_button->isEnabled())
            m_loop->quit();
        return false;
    }

private:
    QWidget *m_button;
    QEventLoop *m_loop;
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

qint64 runOnce(MainWindow &window) {
    Ui::MainWindow *ui = window.form();
    QTreeWidget *list = ui->treeWidget;
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        QTreeWidgetItem *row = list->topLevelItem(index);
        row->setCheckState(FileRow::CheckColumn, Qt::Checked);
        QFile::remove(Arguments::outputPath(FileRow::arguments(row)));
    }

    // The run is over when its Stop button goes off; watched, not polled,
    // so that the driver costs the machine nothing while the jobs run.
    QEventLoop loop;
    RunEndWatch watch(ui->StopConvertePushButton, &loop);
    QElapsedTimer clock;
    clock.start();
    window.on_ConvertePushButton_clicked();
    if (ui->StopConvertePushButton->isEnabled())
        loop.exec();
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
