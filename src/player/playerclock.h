#pragma once

struct PlayerState;

// The source of "now" for the clocks: seconds of wall-clock time. Tests hand
// in their own to drive the frame timing by hand.
using PlayerClock = double (*)();

double playerNow();

// The sound the device plays now.
double audioClock(PlayerState *is, PlayerClock now = playerNow);
double videoClock(PlayerState *is, PlayerClock now = playerNow);
double masterClock(PlayerState *is, PlayerClock now = playerNow);

// The sound sets the time while it plays from after the last seek; once it
// has ended, or before it has caught up with a seek, the pictures do.
// So do the pictures while the device takes no sound.
bool soundIsMaster(PlayerState *is, PlayerClock now = playerNow);
// The device has stopped asking for sound (suspended, or gone).
bool soundIsStalled(PlayerState *is, PlayerClock now = playerNow);
// A picture from after the last seek (or the start) is on show. GUI thread.
bool pictureIsCurrent(PlayerState *is);
// The sound's clock stands for sound decoded after the last seek.
bool soundClockIsCurrent(PlayerState *is);

// Pauses or resumes the preview; keeps the picture timing consistent across
// the pause. GUI thread.
void togglePlayerPause(PlayerState *is, PlayerClock now = playerNow);

// One refresh turn: shows the picture that is due, drops late ones, expires
// subtitles, draws the visualisation of a file without video and publishes
// the position. GUI thread.
void refreshVideo(PlayerState *is, PlayerClock now = playerNow);

// Hands the picture at the read index (or the visualisation) to the preview.
void displayVideoFrame(PlayerState *is);
