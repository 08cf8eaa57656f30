#pragma once

struct PlayerState;

// The player's demultiplexer: opens the input, opens one audio, one video and
// one subtitle stream, starts the refresh thread and feeds the packet queues
// (pause, seek, back-pressure) until the player is aborted.
void readThread(PlayerState *is);

// Starts the decoder (and the sound device or decoding thread) of a stream.
// Returns 0, or -1 when the stream cannot be opened.
int openStreamComponent(PlayerState *is, int streamIndex);
// Stops and releases what openStreamComponent started.
void closeStreamComponent(PlayerState *is, int streamIndex);

// libavformat gives up a blocking wait when this returns non-zero.
int decodeInterruptCallback(void *opaque);

// Paces the display: posts a refresh whenever none is pending and watches
// for the end of the media.
void refreshThread(PlayerState *is);

// The end of the media: every open stream has decoded all that the input
// held, and the last picture has been shown.
bool mediaFinished(PlayerState *is);
