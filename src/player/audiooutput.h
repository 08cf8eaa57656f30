#pragma once

#include <cstdint>

struct AVFrame;
struct PlayerState;

// Prepares SDL's audio for the preview; call once on the GUI thread before
// the first preview. Never fails the caller: without a sound device it
// returns false and previews play silently.
bool initPreviewAudio();
// Ends SDL's audio (after every player is closed).
void quitPreviewAudio();
// Starts SDL's audio again after a device could not be opened or was lost,
// so that a sound server started since is used. Only with no player open.
void restartPreviewAudioIfWanted();
// SDL said that `device` is gone (GUI thread).
bool takeLostAudioDevice(uint32_t device);

// Opens the sound device for the state's audio decoder. Returns 0, or -1
// after handing the reason to the GUI thread (once until a device opens
// again; not for a player that is being closed).
int openAudioDevice(PlayerState *is);
// Stops the device; after it returns the callback no longer runs.
void closeAudioDevice(PlayerState *is);

// SDL's audio callback: fills `stream` with `len` bytes of the preview's
// sound at the preview volume.
void audioCallback(void *opaque, uint8_t *stream, int len);

// Decodes the next stretch of sound into audio_data; returns its size in
// bytes, or -1 when there is none (paused, aborted, nothing queued in time).
int audioDecodeFrame(PlayerState *is);

// Converts one decoded frame to the device format; returns its size in
// bytes, or -1.
int convertAudioFrame(PlayerState *is, AVFrame *frame);
