#include <cmath>
#include <functional>
#include <memory>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "app/startdlg.h"
#include "app/startup.h"
#include "mainwindow/about.h"
#include "mainwindow/errfiledialog.h"
#include "mainwindow/exitdialog.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/maxdriverdialog.h"
#include "mainwindow/openprogress.h"
#include "mainwindow/preferencedialog.h"
#include "mainwindow/videoinfo.h"
#include "settingsdialog/settingdialog.h"
#include "../mainwindow/windowtestsupport.h"

namespace {

// Builds one of the program's windows, given its main window.
using Make = std::function<QWidget *(MainWindow *)>;

constexpr int kSkipExitCode = 77;
// The least contrast of normal-sized text that reads for most eyes.
constexpr double kLeastContrast = 4.5;

double luminance(QRgb pixel) {
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(pixel)) + 0.7152 * linear(qGreen(pixel)) +
           0.0722 * linear(qBlue(pixel));
}

double contrast(QRgb a, QRgb b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

// Empties the text the widget shows and returns what puts it back; nothing
// when the widget shows no text of its own.
std::function<void()> emptyText(QWidget *widget) {
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        const QString text = label->text();
        if (text.isEmpty())
            return {};
        label->setText(QString());
        return [label, text] { label->setText(text); };
    }
    if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        const auto *tool = qobject_cast<QToolButton *>(button);
        const QString text = button->text();
        if (text.isEmpty() || (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly))
            return {};
        button->setText(QString());
        return [button, text] { button->setText(text); };
    }
    // An editable box shows its text in a line edit of its own.
    if (auto *box = qobject_cast<QComboBox *>(widget); box && !box->isEditable()) {
        const int index = box->currentIndex();
        const QString text = box->itemText(index);
        if (index < 0 || text.isEmpty())
            return {};
        box->setItemText(index, QString());
        return [box, index, text] { box->setItemText(index, text); };
    }
    if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        const QString text = edit->text();
        if (text.isEmpty())
            return {};
        edit->setText(QString());
        return [edit, text] { edit->setText(text); };
    }
    if (auto *group = qobject_cast<QGroupBox *>(widget)) {
        const QString title = group->title();
        if (title.isEmpty())
            return {};
        group->setTitle(QString());
        return [group, title] { group->setTitle(title); };
    }
    return {};
}

QString nameOf(const QWidget *widget) {
    return widget->objectName().isEmpty() ? QLatin1String(widget->metaObject()->className())
                                          : widget->objectName();
}

// The contrast of a widget's text as the window shows it: the pixels that
// its text changes, each against what lies under it without the text; the
// most contrasting one counts. -1 when the widget shows no text on screen.
double textContrast(QWidget *window, QWidget *widget) {
    const QRect area = QRect(widget->mapTo(window, QPoint(0, 0)), widget->size()) & window->rect();
    if (area.isEmpty())
        return -1;
    const QSignalBlocker quiet(widget);
    const QImage shown = window->grab(area).toImage();
    const std::function<void()> restore = emptyText(widget);
    if (!restore)
        return -1;
    const QImage bare = window->grab(area).toImage();
    restore();
    double best = 0;
    bool changed = false;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb ink = shown.pixel(x, y);
            const QRgb ground = bare.pixel(x, y);
            if (ink == ground)
                continue;
            changed = true;
            best = qMax(best, contrast(ink, ground));
        }
    }
    // Text the colour of its ground changes nothing, and is the least
    // readable of all.
    return changed ? best : 1.0;
}

QStringList unreadableTexts(QWidget *window) {
    QStringList faults;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        // Greyed controls are meant to recede.
        if (!widget->isVisibleTo(window) || !widget->isEnabled())
            continue;
        const double ratio = textContrast(window, widget);
        if (ratio >= 0 && ratio < kLeastContrast)
            faults << QStringLiteral("%1 %2: %3:1")
                          .arg(QLatin1String(window->metaObject()->className()), nameOf(widget))
                          .arg(ratio, 0, 'f', 2);
    }
    return faults;
}

} // namespace

// The program's windows on a desktop whose theme is dark (CTest gives the
// test the GTK theme Adwaita:dark): every text must still read on the
// skin's light pictures.
class tst_DarkDesktop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void textsReadUnderADarkTheme_data();
    void textsReadUnderADarkTheme();

private:
    QTemporaryDir install;
    std::unique_ptr<MainWindow> window;
};

void tst_DarkDesktop::initTestCase() {
    // Without the desktop's dark palette the test would prove nothing.
    const QPalette desktop = QGuiApplication::palette();
    QVERIFY2(desktop.color(QPalette::Window).lightness() < 100 &&
                 desktop.color(QPalette::WindowText).lightness() > 200,
             "the desktop's theme is not dark");

    WindowTestSupport::actAsTheProgram();
    QVERIFY(install.isValid());
    WindowTestSupport::copyInstallation(install.path());
    WindowTestSupport::useInstallation(install.path());
    // The program's start, up to its window.
    useLightPalette();
    QVERIFY(setSkin(qApp, WindowTestSupport::stageDir() + QStringLiteral("/skin.qss")));
    window = std::make_unique<MainWindow>();
}

void tst_DarkDesktop::cleanupTestCase() {
    window.reset();
    WindowTestSupport::leaveInstallation();
}

void tst_DarkDesktop::textsReadUnderADarkTheme_data() {
    QTest::addColumn<Make>("make");
    // With the controls that a file on the list switches on.
    QTest::newRow("main window") << Make([](MainWindow *main) -> QWidget * {
        main->setJobControlsEnabled(true);
        return main;
    });
    QTest::newRow("splash") << Make([](MainWindow *) -> QWidget * { return new startdlg; });
    QTest::newRow("settings") << Make([](MainWindow *) -> QWidget * { return new settingDialog; });
    // The window asks these two itself, as their parent.
    QTest::newRow("preferences") << Make(
        [](MainWindow *main) -> QWidget * { return new preferenceDialog(main); });
    QTest::newRow("exit") << Make(
        [](MainWindow *main) -> QWidget * { return new exitDialog(main); });
    QTest::newRow("about") << Make([](MainWindow *) -> QWidget * { return new about; });
    QTest::newRow("media info") << Make([](MainWindow *) -> QWidget * { return new videoInfo; });
    QTest::newRow("add progress") << Make(
        [](MainWindow *) -> QWidget * { return new openProgress; });
    QTest::newRow("add result") << Make(
        [](MainWindow *) -> QWidget * { return new errFiledialog; });
    QTest::newRow("disk full") << Make(
        [](MainWindow *) -> QWidget * { return new maxDriverDialog; });
}

void tst_DarkDesktop::textsReadUnderADarkTheme() {
    QFETCH(Make, make);
    QWidget *shown = make(window.get());
    // The main window stays for the other rows; a dialog goes with its row.
    std::unique_ptr<QWidget> dialog(shown == window.get() ? nullptr : shown);
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    const QStringList faults = unreadableTexts(shown);
    shown->hide();
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

int main(int argc, char *argv[]) {
    // The desktop's theme comes through a real X server.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return kSkipExitCode;
    QApplication app(argc, argv);
    tst_DarkDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_darkdesktop.moc"
