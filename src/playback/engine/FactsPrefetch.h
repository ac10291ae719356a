#pragma once
// What Play needs to know about the disc named on the command line, read before
// Play is pressed. Reading it (in the helper process, see disc/FactsHelper.h) and
// starting libvlc take 20 to 40 ms, too long to hold the GUI thread for. The
// answer is used only while the disc's files are as they were when it was read; a
// drive is never read ahead (its disc can change without a trace in the file system).
//
// Threads: the reading runs on a thread of its own, adopted by the reaper so that
// nothing waits for it; its result is handed over under a lock. factsFor() runs
// on the GUI thread.

#include "playback/disc/Facts.h"

#include <QString>

#include <memory>
#include <optional>

namespace playback::engine {

// The names, sizes and times of change of the disc's files; empty for a drive or
// a source that cannot be read.
QString discSignature(const disc::Source &source);

class FactsPrefetch {
public:
    // Starts reading on a thread of its own, and starts libvlc after that.
    explicit FactsPrefetch(const disc::Source &source);
    // Does not wait for the reading (see PlayerReaper.h).
    ~FactsPrefetch();
    FactsPrefetch(const FactsPrefetch &) = delete;
    FactsPrefetch &operator=(const FactsPrefetch &) = delete;

    // The facts read ahead, when source is the one read, its reading is done and
    // found a playable disc, and its files have not changed since.
    std::optional<disc::Facts> factsFor(const disc::Source &source) const;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace playback::engine
