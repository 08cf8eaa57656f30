#pragma once

#include <thread>

#include <QtGlobal>

struct PlayerState;

// Starts one of a player's threads and keeps count of the threads of each
// player that have not ended yet, so that closing a player can be checked.
void startPlayerThread(std::thread &handle, PlayerState *is, void (*body)(PlayerState *));
// Threads of the player `playerId` that were started and have not returned.
int livePlayerThreads(quint64 playerId);
// Threads of every player that have not returned.
int livePlayerThreads();
