#pragma once

#include <cstdint>

struct AVFrame;
struct PlayerState;

// Prepares SDL's audio for the preview; call once on the GUI thread before
// the first preview. Never fails the caller: without a sound device it
// returns false and previews play silently.
bool initPreviewAudio();
// Ends SDL's audio (after every player is closed). Left running when a
// device does not close within a second: the program may still end.
void quitPreviewAudio();
// Starts SDL's audio again after a device could not be opened or was lost,
// so that a sound server started since is used. Only with no player open;
// put off to the next call while a device of an earlier player still closes.
void restartPreviewAudioIfWanted();
// The state's sound device has gone (GUI thread, at `nowUs` microseconds of
// wall time): SDL said so, or the device stopped asking for sound and its
// sound server no longer answers.
bool takeLostAudioDevice(PlayerState *is, int64_t nowUs);

// Opens the sound device for the state's audio decoder. Returns 0, or -1
// after handing the reason to the GUI thread (once until a device opens
// again; not for a player that is being closed).
int openAudioDevice(PlayerState *is);
// Lets the opened device call back (unless the player was closed meanwhile).
void startAudioDevice(PlayerState *is);
// Stops the device; after it returns the callback no longer runs. The
// device itself closes on a thread of its own, however long that takes.
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
