#include <QGuiApplication>
#include <QSignalSpy>
#include <QtTest>

#include "playertestutil.h"

using namespace PlayerTest;

// Without any sound device the window still comes up, and previews play
// silently with the pictures setting the pace, after one message.
class TestSilentPreview : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void playsPicturesAfterOneMessage();
    void soundOnlyFileCannotPlay();

private:
    QStringList m_messages;
};

void TestSilentPreview::initTestCase() {
    qputenv("SDL_AUDIODRIVER", "no-such-driver");
    QVERIFY(!initPreviewAudio());
    connect(PlayerController::instance(), &PlayerController::playerMessage, this,
            [this](const QString &text) { m_messages << text; });
}

void TestSilentPreview::cleanup() {
    closePlayer();
}

void TestSilentPreview::playsPicturesAfterOneMessage() {
    for (const char *file : {"av.mp4", "av.mkv"}) {
        playFile(mediaPath(file), kPreviewSize);
        QVERIFY(waitForPicture());
        QVERIFY(waitForPosition(0.8));
        QVERIFY(!currentPlayerState.load()->audio_stream);
        const QImage earlier = previewFrame.image();
        runFor(200);
        QVERIFY(previewFrame.image() != earlier);
    }
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.first().startsWith("SDL_OpenAudio: "));
}

void TestSilentPreview::soundOnlyFileCannotPlay() {
    m_messages.clear();
    QSignalSpy failed(PlayerController::instance(), &PlayerController::playerFailed);
    playFile(mediaPath("audio.mp3"), kPreviewSize);
    QVERIFY(failed.wait(5000));
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.first().endsWith(": could not open codecs\n"));
}

QTEST_MAIN(TestSilentPreview)
#include "tst_silentpreview.moc"
