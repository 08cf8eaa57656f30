#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

extern "C" {
#include <libavcodec/packet.h>
}

// What a queued entry means to its consumer. The flush marker follows every
// seek and tells the decoder to forget its state; the drain marker follows
// the end of the input and tells the decoder to hand out what it still holds.
enum class QueuedPacketKind {
    Data,
    Flush,
    Drain,
};

struct PacketNode {
    AVPacket *packet = nullptr;
    QueuedPacketKind kind = QueuedPacketKind::Data;
    int serial = 0;
    PacketNode *next = nullptr;
};

// Accounting size of one queued entry beyond its payload, so that a queue
// holding only a marker still counts as "not empty" for the read thread.
constexpr int kPacketNodeBytes = 72;

// A FIFO of compressed packets between the read thread (the only producer)
// and one decoder (the only consumer). packet_count and byte_size are atomics
// so that the read thread's back-pressure rule can look at them unlocked.
struct PacketQueue {
    PacketNode *first = nullptr;
    PacketNode *last = nullptr;
    std::atomic<int> packet_count{0};
    std::atomic<int> byte_size{0};
    std::atomic<int> abort_requested{0};
    bool initialised = false;
    // Incremented by every flush: a drain finished under an older serial says
    // nothing about the data queued after a seek.
    int serial = 1;
    int finished_serial = 0;
    std::mutex mutex;
    std::condition_variable cond;
};

struct QueuedPacket {
    QueuedPacketKind kind = QueuedPacketKind::Data;
    int serial = 0;
};

// Resets the queue and puts the flush marker into it. Returns 0.
int packetQueueInit(PacketQueue *q);
// Takes over the packet's reference (the caller's packet is left blank).
// Returns 0 when queued, -1 when not (the caller keeps its reference).
int packetQueuePut(PacketQueue *q, AVPacket *packet);
int packetQueuePutFlush(PacketQueue *q);
int packetQueuePutDrain(PacketQueue *q);
// Blocks while the queue is empty. Returns 1 with the packet moved into
// `packet` (blank for markers), -1 once the queue is aborted.
int packetQueueGet(PacketQueue *q, AVPacket *packet, QueuedPacket *info);
// As packetQueueGet, but gives up after `timeout` and then returns 0.
int packetQueueGetTimed(PacketQueue *q, AVPacket *packet, QueuedPacket *info,
                        std::chrono::microseconds timeout);
void packetQueueFlush(PacketQueue *q);
void packetQueueAbort(PacketQueue *q);
void packetQueueDestroy(PacketQueue *q);
// The consumer reports that its decoder gave out everything after the drain
// marker of `serial`.
void packetQueueMarkFinished(PacketQueue *q, int serial);
// The serial of the last flush, which the flush marker that followed it
// carries: a consumer that took that marker decodes from after the seek.
int packetQueueSerial(PacketQueue *q);
// True when a drain under the current serial has completed and nothing new is
// queued: the stream has really played to its end, not merely run short.
bool packetQueueIsFinished(PacketQueue *q);
