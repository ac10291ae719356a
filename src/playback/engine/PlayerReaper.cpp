#include "playback/engine/PlayerReaper.h"

#include <vlc/vlc.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace playback::engine::reaper {

namespace {

struct Retired {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
    QObject *window; // deleted here, on the GUI thread, once libvlc has let go of it
};

struct Registry {
    std::vector<Retired> retired;

    void collect(bool all)
    {
        std::erase_if(retired, [all](Retired &r) {
            if (!all && !r.done->load())
                return false;
            r.thread.join();
            delete r.window;
            return true;
        });
    }
    ~Registry()
    {
        // The program is ending: the windows go with the X connections.
        for (Retired &r : retired)
            r.thread.join();
    }
};

Registry &registry()
{
    static Registry r;
    return r;
}

} // namespace

void retire(libvlc_media_player_t *player, std::shared_ptr<void> keep, QObject *window)
{
    if (window)
        window->setParent(nullptr);
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([player, keep = std::move(keep), done]() mutable {
        libvlc_media_player_stop(player);
        // The video output lives until the player is released: only then may what it draws into go.
        libvlc_media_player_release(player);
        keep.reset();
        done->store(true);
    });
    Registry &r = registry();
    r.collect(false);
    r.retired.push_back({std::move(thread), std::move(done), window});
}

void adopt(std::thread thread, std::shared_ptr<std::atomic<bool>> done)
{
    Registry &r = registry();
    r.collect(false);
    r.retired.push_back({std::move(thread), std::move(done), nullptr});
}

void waitForAll() { registry().collect(true); }

bool waitForAll(std::chrono::milliseconds most)
{
    Registry &r = registry();
    const auto until = std::chrono::steady_clock::now() + most;
    const auto busy = [&r] { return std::any_of(r.retired.begin(), r.retired.end(), [](const Retired &x) { return !x.done->load(); }); };
    while (busy() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    r.collect(false);
    return r.retired.empty();
}

} // namespace playback::engine::reaper
