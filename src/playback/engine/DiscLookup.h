#pragma once
// Which disc the control plays, and what it is before it plays: the disc named
// on the command line, or else the first drive that holds one, looked up on
// every call so that a disc put in after start-up is found. The command line's
// disc is read ahead (FactsPrefetch).
//
// Threads: GUI thread (the read-ahead runs on its own, see FactsPrefetch.h).

#include "playback/disc/Facts.h"

#include <memory>
#include <optional>

namespace playback::engine {

class FactsPrefetch;

class DiscLookup {
public:
    // argument: the disc named on the command line, or empty to look in the drives.
    explicit DiscLookup(const QString &argument);
    ~DiscLookup();
    // Another disc from now on (a disc dropped on a window, say).
    void setArgument(const QString &argument);

    // The disc; throws PlaybackError(operation, reason) when there is none.
    disc::Source source(const QString &operation) const;
    // Its facts; throws PlaybackError(operation, problem) when they cannot be
    // read, or, with playable, when none of its titles can be played.
    disc::Facts facts(const disc::Source &source, const QString &operation, bool playable = false) const;
    // What Eject opens when nothing plays: the named disc, or the first drive.
    std::optional<disc::Source> ejectable() const;

private:
    QString m_argument;
    std::unique_ptr<FactsPrefetch> m_prefetch;
};

} // namespace playback::engine
