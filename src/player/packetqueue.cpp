#include "player/packetqueue.h"

namespace {

int putNode(PacketQueue *q, AVPacket *packet, QueuedPacketKind kind) {
    auto *node = new (std::nothrow) PacketNode;
    if (!node)
        return -1;
    node->kind = kind;
    if (packet) {
        node->packet = av_packet_alloc();
        if (!node->packet) {
            delete node;
            return -1;
        }
        av_packet_move_ref(node->packet, packet);
    }
    const int payload = node->packet ? node->packet->size : 0;

    std::lock_guard<std::mutex> lock(q->mutex);
    node->serial = q->serial;
    if (!q->last)
        q->first = node;
    else
        q->last->next = node;
    q->last = node;
    q->packet_count += 1;
    q->byte_size += payload + kPacketNodeBytes;
    q->cond.notify_one();
    return 0;
}

void freeNode(PacketNode *node) {
    av_packet_free(&node->packet);
    delete node;
}

// Runs with the mutex held and the queue not empty.
void takeFirst(PacketQueue *q, AVPacket *packet, QueuedPacket *info) {
    PacketNode *node = q->first;
    q->first = node->next;
    if (!q->first)
        q->last = nullptr;
    q->packet_count -= 1;
    q->byte_size -= kPacketNodeBytes + (node->packet ? node->packet->size : 0);
    av_packet_unref(packet);
    if (node->packet)
        av_packet_move_ref(packet, node->packet);
    if (info) {
        info->kind = node->kind;
        info->serial = node->serial;
    }
    freeNode(node);
}

} // namespace

int packetQueueInit(PacketQueue *q) {
    packetQueueFlush(q);
    {
        std::lock_guard<std::mutex> lock(q->mutex);
        q->abort_requested = 0;
        q->serial = 1;
        q->finished_serial = 0;
        q->initialised = true;
    }
    return packetQueuePutFlush(q);
}

int packetQueuePut(PacketQueue *q, AVPacket *packet) {
    if (!packet)
        return -1;
    return putNode(q, packet, QueuedPacketKind::Data);
}

int packetQueuePutFlush(PacketQueue *q) {
    return putNode(q, nullptr, QueuedPacketKind::Flush);
}

int packetQueuePutDrain(PacketQueue *q) {
    return putNode(q, nullptr, QueuedPacketKind::Drain);
}

int packetQueueGet(PacketQueue *q, AVPacket *packet, QueuedPacket *info) {
    std::unique_lock<std::mutex> lock(q->mutex);
    for (;;) {
        if (q->abort_requested)
            return -1;
        if (q->first) {
            takeFirst(q, packet, info);
            return 1;
        }
        q->cond.wait(lock);
    }
}

int packetQueueGetTimed(PacketQueue *q, AVPacket *packet, QueuedPacket *info,
                        std::chrono::microseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock<std::mutex> lock(q->mutex);
    for (;;) {
        if (q->abort_requested)
            return -1;
        if (q->first) {
            takeFirst(q, packet, info);
            return 1;
        }
        if (q->cond.wait_until(lock, deadline) == std::cv_status::timeout && !q->first &&
            !q->abort_requested)
            return 0;
    }
}

void packetQueueFlush(PacketQueue *q) {
    std::lock_guard<std::mutex> lock(q->mutex);
    PacketNode *node = q->first;
    while (node) {
        PacketNode *next = node->next;
        freeNode(node);
        node = next;
    }
    q->first = nullptr;
    q->last = nullptr;
    q->packet_count = 0;
    q->byte_size = 0;
    q->serial += 1;
}

void packetQueueAbort(PacketQueue *q) {
    std::lock_guard<std::mutex> lock(q->mutex);
    q->abort_requested = 1;
    q->cond.notify_all();
}

void packetQueueDestroy(PacketQueue *q) {
    packetQueueFlush(q);
    std::lock_guard<std::mutex> lock(q->mutex);
    q->initialised = false;
}

void packetQueueMarkFinished(PacketQueue *q, int serial) {
    std::lock_guard<std::mutex> lock(q->mutex);
    q->finished_serial = serial;
}

int packetQueueSerial(PacketQueue *q) {
    std::lock_guard<std::mutex> lock(q->mutex);
    return q->serial;
}

bool packetQueueIsFinished(PacketQueue *q) {
    std::lock_guard<std::mutex> lock(q->mutex);
    return q->initialised && !q->first && q->finished_serial == q->serial;
}
