#pragma once
// Reads a disc's facts with libdvdread in this process. Only the helper process
// does this (see FactsHelper.h): libdvdread trusts the IFO files, and some
// damaged ones make it free memory twice or loop. Single-threaded.

#include "playback/disc/Facts.h"

namespace playback::disc {

struct FactsReading {
    Problem failure = Problem::None; // why no title can be played
    Facts facts;
};

// path: what libdvdread opens. checkVobs: every title's video must start with
// readable pictures (not for a drive: seeking to each would spin the disc up for
// nothing; there only the first title's start is read). listFiles: list
// VIDEO_TS as the disc's own file system has it.
FactsReading readFactsHere(const char *path, bool checkVobs, bool listFiles);

} // namespace playback::disc
