#include <atomic>
#include <chrono>
#include <thread>

#include <unistd.h>

#include <QtTest>

#include "player/packetqueue.h"
#include "../support/processstate.h"

namespace {

AVPacket *makePacket(int size, int64_t pts) {
    AVPacket *packet = av_packet_alloc();
    av_new_packet(packet, size);
    packet->pts = pts;
    return packet;
}

} // namespace

class TestPacketQueue : public QObject {
    Q_OBJECT

private slots:
    void startsWithFlushMarker();
    void keepsOrderAndAccounting();
    void abortedQueueGivesNothingAndFlushFreesIt();
    void timedGetGivesUp();
    void blockedGetWakesOnPutAndAbort();
    void finishedOnlyAfterDrainOfCurrentSerial();
};

void TestPacketQueue::startsWithFlushMarker() {
    PacketQueue q;
    packetQueueInit(&q);
    QCOMPARE(q.packet_count.load(), 1);
    QCOMPARE(q.byte_size.load(), kPacketNodeBytes);

    AVPacket *packet = av_packet_alloc();
    QueuedPacket info;
    QCOMPARE(packetQueueGet(&q, packet, &info), 1);
    QCOMPARE(info.kind, QueuedPacketKind::Flush);
    QVERIFY(!packet->data);
    QCOMPARE(q.packet_count.load(), 0);
    QCOMPARE(q.byte_size.load(), 0);
    av_packet_free(&packet);
    packetQueueDestroy(&q);
}

void TestPacketQueue::keepsOrderAndAccounting() {
    PacketQueue q;
    packetQueueInit(&q);
    for (int i = 0; i < 3; ++i) {
        AVPacket *packet = makePacket(100 + i, i);
        QCOMPARE(packetQueuePut(&q, packet), 0);
        QVERIFY(!packet->data); // the queue took the reference
        av_packet_free(&packet);
    }
    QCOMPARE(q.packet_count.load(), 4);
    QCOMPARE(q.byte_size.load(), 4 * kPacketNodeBytes + 100 + 101 + 102);

    AVPacket *packet = av_packet_alloc();
    QueuedPacket info;
    packetQueueGet(&q, packet, &info); // the marker
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(packetQueueGet(&q, packet, &info), 1);
        QCOMPARE(info.kind, QueuedPacketKind::Data);
        QCOMPARE(packet->pts, int64_t(i));
        QCOMPARE(packet->size, 100 + i);
        av_packet_unref(packet);
    }
    QCOMPARE(q.byte_size.load(), 0);
    av_packet_free(&packet);
    packetQueueDestroy(&q);
}

void TestPacketQueue::abortedQueueGivesNothingAndFlushFreesIt() {
    PacketQueue q;
    packetQueueInit(&q);
    AVPacket *packet = makePacket(10, 1);
    packetQueuePut(&q, packet);
    packetQueueAbort(&q);
    QueuedPacket info;
    QCOMPARE(packetQueueGet(&q, packet, &info), -1);
    QCOMPARE(q.packet_count.load(), 2);
    packetQueueFlush(&q);
    QCOMPARE(q.packet_count.load(), 0);
    QCOMPARE(q.byte_size.load(), 0);
    av_packet_free(&packet);
    packetQueueDestroy(&q);
}

void TestPacketQueue::timedGetGivesUp() {
    PacketQueue q;
    packetQueueInit(&q);
    AVPacket *packet = av_packet_alloc();
    QueuedPacket info;
    QCOMPARE(packetQueueGetTimed(&q, packet, &info, std::chrono::milliseconds(5)), 1);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(packetQueueGetTimed(&q, packet, &info, std::chrono::milliseconds(20)), 0);
    QVERIFY(timer.elapsed() >= 15);
    av_packet_free(&packet);
    packetQueueDestroy(&q);
}

void TestPacketQueue::blockedGetWakesOnPutAndAbort() {
    PacketQueue q;
    packetQueueInit(&q);
    AVPacket *packet = av_packet_alloc();
    QueuedPacket info;
    packetQueueGet(&q, packet, &info);

    int results[2] = {0, 0};
    int64_t pts = 0;
    std::atomic<qint64> consumerId{0};
    std::atomic<bool> tookFirst{false};
    std::thread consumer([&] {
        consumerId = gettid();
        AVPacket *got = av_packet_alloc();
        results[0] = packetQueueGet(&q, got, nullptr);
        pts = got->pts;
        tookFirst = true;
        av_packet_unref(got);
        results[1] = packetQueueGet(&q, got, nullptr);
        av_packet_free(&got);
    });
    const auto ended = qScopeGuard([&] {
        packetQueueAbort(&q);
        if (consumer.joinable())
            consumer.join();
    });
    // Blocked in its get: asleep in the kernel, before each wake-up.
    const auto asleep = [&consumerId] {
        return consumerId != 0 && processState(consumerId) == 'S';
    };
    QTRY_VERIFY(asleep());
    AVPacket *data = makePacket(4, 42);
    packetQueuePut(&q, data);
    av_packet_free(&data);
    QTRY_VERIFY(tookFirst && asleep());
    packetQueueAbort(&q);
    consumer.join();
    QCOMPARE(results[0], 1);
    QCOMPARE(pts, int64_t(42));
    QCOMPARE(results[1], -1);
    av_packet_free(&packet);
    packetQueueDestroy(&q);
}

void TestPacketQueue::finishedOnlyAfterDrainOfCurrentSerial() {
    PacketQueue q;
    packetQueueInit(&q);
    AVPacket *packet = av_packet_alloc();
    QueuedPacket info;
    packetQueueGet(&q, packet, &info);
    // Empty, but nothing said that the input has ended: a mere underrun.
    QVERIFY(!packetQueueIsFinished(&q));

    packetQueuePutDrain(&q);
    QVERIFY(!packetQueueIsFinished(&q));
    packetQueueGet(&q, packet, &info);
    QCOMPARE(info.kind, QueuedPacketKind::Drain);
    const int drainSerial = info.serial;
    QVERIFY(!packetQueueIsFinished(&q)); // the decoder still holds pictures
    packetQueueMarkFinished(&q, drainSerial);
    QVERIFY(packetQueueIsFinished(&q));

    // A seek makes the finished drain stale.
    packetQueueFlush(&q);
    packetQueuePutFlush(&q);
    QVERIFY(!packetQueueIsFinished(&q));
    packetQueueGet(&q, packet, &info);
    QVERIFY(!packetQueueIsFinished(&q));
    packetQueueMarkFinished(&q, drainSerial); // late report of the old drain
    QVERIFY(!packetQueueIsFinished(&q));

    av_packet_free(&packet);
    packetQueueDestroy(&q);
    QVERIFY(!packetQueueIsFinished(&q));
}

QTEST_APPLESS_MAIN(TestPacketQueue)
#include "tst_packetqueue.moc"
