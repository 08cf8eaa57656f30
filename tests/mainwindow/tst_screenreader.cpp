#include <QtTest>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QComboBox>
#include <QFileDialog>
#include <QRegularExpression>
#include <QTreeWidget>

#include "../filelist/windowtestutil.h"

using WindowTest::media;

namespace {

// What the test's handler has seen since it was installed.
int nameChanges = 0;
QStringList changedNames;
QAccessible::UpdateHandler earlierHandler = nullptr;

void countNameChanges(QAccessibleEvent *event) {
    if (event->type() == QAccessible::NameChanged) {
        ++nameChanges;
        changedNames << (event->object()
                             ? QString::fromLatin1(event->object()->metaObject()->className())
                             : QString());
    }
    if (earlierHandler)
        earlierHandler(event);
}

// Everything a reader asks of `node` and of all below it, visible or not.
void readAll(QAccessibleInterface *node, int depth = 0) {
    constexpr int kDeepest = 30;
    if (!node || depth > kDeepest)
        return;
    node->text(QAccessible::Name);
    node->text(QAccessible::Value);
    node->text(QAccessible::Description);
    node->state();
    node->rect();
    node->focusChild();
    for (int index = 0; index < node->childCount(); ++index)
        readAll(node->child(index), depth + 1);
}

} // namespace

// The main window as a screen reader meets it: on the accessibility bus,
// asking again and again, as Orca does.
class tst_ScreenReader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void readingAnIdleWindowChangesNoName();
    void qtDialogsKeepTheirOwnBoxes();
    void namesSayWhatAndWhere();

private:
    Ui::MainWindow *ui() const { return fixture.ui(); }

    WindowTest::MainWindowFixture fixture;
};

void tst_ScreenReader::init() {
    QVERIFY(fixture.open());
    // Qt sends its events only once it has found the reader's bus.
    QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), WindowTest::kEventTimeoutMs);
}

void tst_ScreenReader::cleanup() {
    fixture.close();
}

// Each event is one more for the reader to work through: a name that is
// given again on every question buried what it had to say in a queue.
void tst_ScreenReader::readingAnIdleWindowChangesNoName() {
    fixture.window->addPickedFiles({media("av.mp4")});
    QTRY_COMPARE_WITH_TIMEOUT(fixture.list()->topLevelItemCount(), 1, WindowTest::kEventTimeoutMs);
    QAccessibleInterface *root = QAccessible::queryAccessibleInterface(fixture.window);
    readAll(root); // the first questions make the interfaces

    nameChanges = 0;
    changedNames.clear();
    earlierHandler = QAccessible::installUpdateHandler(countNameChanges);
    const auto restore = qScopeGuard([] { QAccessible::installUpdateHandler(earlierHandler); });
    // A few of the window's own polls go by between the readings.
    auto *poll = fixture.window->findChild<QTimer *>(QStringLiteral("uiPollTimer"));
    for (int reading = 0; reading < 3; ++reading) {
        readAll(root);
        if (poll && poll->isActive()) {
            QSignalSpy tick(poll, &QTimer::timeout);
            QVERIFY(tick.wait(WindowTest::kEventTimeoutMs));
        }
    }
    QVERIFY2(nameChanges == 0, qPrintable(QStringLiteral("%1 name changes: %2")
                                              .arg(nameChanges)
                                              .arg(changedNames.join(QLatin1Char(' ')))));
}

// Qt's own dialogs are Qt's to tell: its open dialog names its boxes.
void tst_ScreenReader::qtDialogsKeepTheirOwnBoxes() {
    QFileDialog dialog(fixture.window, QStringLiteral("Open"), fixture.outFolder(),
                       QStringLiteral("Media (*.mp4 *.avi)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (const char *name : {"lookInCombo", "fileTypeCombo"}) {
        auto *box = dialog.findChild<QComboBox *>(QLatin1String(name));
        QVERIFY2(box, name);
        QAccessibleInterface *node = QAccessible::queryAccessibleInterface(box);
        QVERIFY2(node && node->role() == QAccessible::ComboBox, name);
        QVERIFY2(!node->text(QAccessible::Name).isEmpty(), name);
    }
}

// Sensible words for each control, none for what cannot be seen, and places
// inside the window.
void tst_ScreenReader::namesSayWhatAndWhere() {
    const std::pair<QWidget *, const char *> named[] = {
        {ui()->SettingButton, "Advance"},   {ui()->openPushButton, "Open"},
        {ui()->CleanFile, "Clear"},         {ui()->DelFile, "Delete"},
        {ui()->StopButton, "Stop preview"}, {ui()->StopConvertePushButton, "Stop conversion"},
        {ui()->PauseButton, "Pause preview"}, {ui()->PausePushButton, "Pause conversion"},
    };
    for (const auto &[widget, name] : named)
        QCOMPARE(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name),
                 QLatin1String(name));
    // The buttons still show the form's own captions.
    QCOMPARE(ui()->SettingButton->text(), QStringLiteral("   Advance"));

    // The list's headers, the hidden ones too, in words.
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(fixture.list());
    QVERIFY(list && list->tableInterface());
    const QRegularExpression words(QStringLiteral("^[A-Za-z0-9 ]*$"));
    for (int column = 0; column < list->tableInterface()->columnCount(); ++column) {
        QAccessibleInterface *header = list->child(column);
        QVERIFY(header && header->role() == QAccessible::ColumnHeader);
        const QString name = header->text(QAccessible::Name);
        QVERIFY2(words.match(name).hasMatch(), qPrintable(QString::number(column) + name));
    }

    // What a reader is told is there lies inside the window.
    const QRect window = fixture.window->geometry();
    QStringList outside;
    std::function<void(QAccessibleInterface *)> visit = [&](QAccessibleInterface *node) {
        for (int index = 0; index < node->childCount(); ++index) {
            QAccessibleInterface *child = node->child(index);
            if (!child || child->state().invisible || child->state().offscreen)
                continue;
            if (qobject_cast<QWidget *>(child->object()) && !window.contains(child->rect()))
                outside << child->object()->objectName();
            visit(child);
        }
    };
    visit(QAccessible::queryAccessibleInterface(fixture.window));
    QVERIFY2(outside.isEmpty(), qPrintable(outside.join(QLatin1Char(' '))));
}

QTEST_MAIN(tst_ScreenReader)
#include "tst_screenreader.moc"
