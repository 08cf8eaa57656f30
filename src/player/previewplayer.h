#pragma once

// The preview player engine.
//
// How the main window drives it (all calls on the GUI thread):
//
//  Construction   initPreviewAudio() once; it never fails the window (without
//                 a sound device previews play silently after one message;
//                 playFile starts SDL's sound again after a failed open or a
//                 lost device).
//                 Connect PlayerController::instance()'s playerMessage(QString)
//                 to a slot showing a modal QMessageBox (no parent), and its
//                 playerFailed() (a file that cannot be opened) to the stop
//                 command. playStopFlag = 0; snapshotQuality = -1.
//  Play           playFile(file, ui->MovieWidget->size()): closes the open
//                 player (see closePlayer), shows a black picture and
//                 starts the file from its beginning. It returns at once; the
//                 refreshes run on the Qt event loop until playEndFlag or
//                 playStopFlag is set (then until the next playFile).
//  Pause          if (isPlayerRunning() && isPlayerOpen())
//                     togglePlayerPause(currentPlayerState);
//  Stop           if (isPlayerRunning()) { if (isPlayerPaused())
//                     togglePlayerPause(currentPlayerState);
//                 requestSeek(currentPlayerState, 0); } then the stop delay.
//  NowStop        once isSeekShown(): if (isPlayerOpen() && !isPlayerPaused())
//                     togglePlayerPause(currentPlayerState);
//  Slider         pressed/released: togglePlayerPause as the slots' rules
//                 say; moved: seekToSliderValue(value) (adds the start time).
//  Position poll  const PreviewPosition p = previewPosition();
//                 if (p.valid && !playEndFlag) { slider p.percent, label
//                 p.seconds }. The poll never rewrites playPosition. At the
//                 end (playEndFlag 1, and the loop ended on seeing it):
//                 playEndFlag = 0, then
//                 currentPlayerState.load()->paused = 0, then
//                 resumePlayerRefreshes(), then the stop command.
//  Volume, mute   playVolume = value (0 to 128); mute: playVolume = 0.
//  Paint          paintPreview(painter, QRectF(542, 139, 297, 237)) in
//                 paintEvent: arms snapshots (repaintArmed) and paints the
//                 picture (or the spectrum of a file without video)
//                 letterboxed. previewFrame.image() is the picture itself.
//  Snapshot       requestSnapshot(snapshotFileName(snapshotFolder,
//                 snapshotSuffix)); the JPG format slots set snapshotQuality.
//                 Requests queue up (never write captureRequested);
//                 captureSaved holds the outcome of the last save.
//  Selection      closePlayerAudio() where SDL audio used to be closed. A
//                 player left open on another file (!isPlayerOpenOn(file))
//                 gets playStopFlag = 1, so that its pictures stop.
//  Remove row     closePlayer().
//  Close          shutdownPlayer(): closes the player and ends SDL audio,
//                 within about a second and a half whatever the sound
//                 device does; the window then closes normally (the
//                 process is not ended here).

#include <cstdint>

#include <QRectF>
#include <QSize>
#include <QString>

#include "player/audiooutput.h"
#include "player/playerclock.h"
#include "player/playercontroller.h"
#include "player/playerstate.h"
#include "player/playervalues.h"
#include "player/previewframe.h"
#include "player/snapshot.h"

class QPainter;

// Closes the open player and starts the preview of `fileName`, pictures
// converted for a preview area of `previewSize`. Returns 0.
int playFile(const QString &fileName, const QSize &previewSize);
// Closes the open player: stops its threads and frees it. Its threads are
// joined when they end within half a second, as they do unless one of them
// is held up (a read from a share that does not answer, a sound server that
// does not answer); such a player ends, and is freed, by itself later.
void closePlayer();
// Closes the player and ends SDL audio; the program then closes normally.
// SDL audio is left running when a device does not close within a second.
void shutdownPlayer();
// Stops the open player's sound device; the player stays open.
void closePlayerAudio();

// The open player's read thread runs (interruptPlayerState is the open
// player's state).
bool isPlayerRunning();
// A player is open (currentPlayerState is set).
bool isPlayerOpen();
// The open player plays `fileName` (as it was handed to playFile).
bool isPlayerOpenOn(const QString &fileName);
bool isPlayerPaused();
// The open player shows where its last seek went: the seek has been served
// and a picture (for a file without video, sound) from after it is on show.
// Also true when nothing more can be shown: no player, or its refreshes
// have ended.
bool isSeekShown();

// After the loop has ended at the end of the media: the open player's
// refreshes run again, so that a stop shows the picture it seeks to.
void resumePlayerRefreshes();

// A seek request to `target` (microseconds, stream time) on `is`; dropped
// (false) while another is pending.
bool requestSeek(PlayerState *is, int64_t target);
// Seek request of the open player for a position slider value of 0 to 100.
bool seekToSliderValue(int value);

// What the position poll shows.
struct PreviewPosition {
    bool valid = false;   // a player is open and its file is open
    double seconds = 0.0; // position, the start time's whole seconds taken off
    int percent = 0;      // slider value, 0 for an unknown or short duration
    int durationSeconds = 0;
};
PreviewPosition previewPosition();

// Paints the preview into `box`: black, then the picture letterboxed the way
// the preview has always been painted. Arms snapshots (repaintArmed).
void paintPreview(QPainter &painter, const QRectF &box);
