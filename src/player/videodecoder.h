#pragma once

#include <cstdint>

struct AVFrame;
struct PlayerState;

// The video thread of one open video stream: decodes packets, times the
// pictures and puts them, converted to the preview's size, into the
// two-slot picture queue. Serves snapshot requests with the pictures it
// converts.
void videoDecodeThread(PlayerState *is);

// Queues one decoded picture with its time stamp (seconds) and byte
// position. Returns 0, or -1 when the queue was aborted meanwhile.
int queuePicture(PlayerState *is, AVFrame *frame, double pts, int64_t position);
