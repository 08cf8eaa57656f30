#include "player/playerthreads.h"

#include <map>
#include <mutex>

#include "player/playerstate.h"

namespace {

std::mutex registryMutex;
std::map<quint64, int> liveThreads; // registryMutex

void changeCount(quint64 playerId, int change) {
    std::lock_guard<std::mutex> lock(registryMutex);
    int &count = liveThreads[playerId];
    count += change;
    if (count == 0)
        liveThreads.erase(playerId);
}

} // namespace

void startPlayerThread(std::thread &handle, PlayerState *is, void (*body)(PlayerState *)) {
    const quint64 playerId = is->player_id;
    changeCount(playerId, 1);
    handle = std::thread([is, body, playerId] {
        body(is);
        changeCount(playerId, -1);
    });
}

int livePlayerThreads(quint64 playerId) {
    std::lock_guard<std::mutex> lock(registryMutex);
    const auto it = liveThreads.find(playerId);
    return it == liveThreads.end() ? 0 : it->second;
}

int livePlayerThreads() {
    std::lock_guard<std::mutex> lock(registryMutex);
    int total = 0;
    for (const auto &entry : liveThreads)
        total += entry.second;
    return total;
}
