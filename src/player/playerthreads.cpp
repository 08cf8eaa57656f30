#include "player/playerthreads.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

#include "player/playerstate.h"

namespace {

// Never destroyed: a thread that is still held up when the program ends
// may return while the static objects are being destroyed.
struct Registry {
    std::mutex mutex;
    std::condition_variable ended;
    std::map<quint64, int> liveThreads; // mutex
};

Registry &registry() {
    static auto *instance = new Registry;
    return *instance;
}

void changeCount(quint64 playerId, int change) {
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    int &count = r.liveThreads[playerId];
    count += change;
    if (count == 0) {
        r.liveThreads.erase(playerId);
        r.ended.notify_all();
    }
}

} // namespace

void startPlayerThread(std::thread &handle, PlayerState *is, void (*body)(PlayerState *)) {
    const quint64 playerId = is->player_id;
    std::shared_ptr<PlayerState> owner = is->weak_from_this().lock();
    changeCount(playerId, 1);
    handle = std::thread([is, body, playerId, owner = std::move(owner)]() mutable {
        body(is);
        changeCount(playerId, -1);
        // The state may go with the last of its threads, here.
        owner.reset();
    });
}

int livePlayerThreads(quint64 playerId) {
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto it = r.liveThreads.find(playerId);
    return it == r.liveThreads.end() ? 0 : it->second;
}

int livePlayerThreads() {
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    int total = 0;
    for (const auto &entry : r.liveThreads)
        total += entry.second;
    return total;
}

bool waitForPlayerThreads(quint64 playerId, std::chrono::milliseconds timeout) {
    Registry &r = registry();
    std::unique_lock<std::mutex> lock(r.mutex);
    return r.ended.wait_for(lock, timeout, [&r, playerId] {
        return r.liveThreads.find(playerId) == r.liveThreads.end();
    });
}
