#pragma once

#include <atomic>

struct PlayerState;

// Values that the player threads share with the main window. Each is an
// atomic: the window writes and reads them from the GUI thread while the
// player's threads use them.

// The open preview; null when none. Written on the GUI thread only.
extern std::atomic<PlayerState *> currentPlayerState;
// The state whose read thread runs, the latest started; null when none. A
// read thread clears it only while it still shows its own state.
extern std::atomic<PlayerState *> interruptPlayerState;
// Playback position in stream time (seconds), published by the refresh handler.
extern std::atomic<double> playPosition;
// End of media (set by the player) or a request to leave the player's loop.
extern std::atomic<int> playEndFlag;
// Stop request from the main window: refresh events are ignored while set.
extern std::atomic<int> playStopFlag;
// The main window has painted the preview at least once.
extern std::atomic<int> repaintArmed;
// Preview volume, 0 to 128 (SDL_MIX_MAXVOLUME).
extern std::atomic<int> playVolume;
// The slider drag has let a paused preview run once.
extern std::atomic<int> seekLatch;
// Paused state remembered during a slider drag, -1 = none.
extern std::atomic<int> wasPausedLatch;
// Flags for the picture conversion (SWS_BICUBIC).
extern std::atomic<int> scalerFlags;
