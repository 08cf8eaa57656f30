#pragma once

#include <chrono>
#include <thread>

#include <QtGlobal>

struct PlayerState;

// Starts one of a player's threads and keeps count of the threads of each
// player that have not ended yet, so that closing a player can be checked.
// The thread shares the ownership of the state (when the state is owned by a
// shared pointer): a player that is let go while one of its threads is held
// up (a read on a share that does not answer, a sound device that does not
// close) is freed by the last of its threads to end.
void startPlayerThread(std::thread &handle, PlayerState *is, void (*body)(PlayerState *));
// Threads of the player `playerId` that were started and have not returned.
int livePlayerThreads(quint64 playerId);
// Threads of every player that have not returned.
int livePlayerThreads();
// Waits until every thread of the player `playerId` has returned, for
// `timeout` at most; true when they have.
bool waitForPlayerThreads(quint64 playerId, std::chrono::milliseconds timeout);
