#pragma once
// Reads a disc's facts with libdvdread in this process. Only the helper process
// does this (see FactsHelper.h): libdvdread trusts the IFO files, and some
// damaged ones make it free memory twice or loop. Single-threaded.

#include "playback/disc/Facts.h"

namespace playback::disc {

// Why a disc cannot be played, as found while reading it.
enum class FactsFailure { None, Open, NoVmg, NoTitles, MissingTitleSet, TitleSetUnreadable, VobsIncomplete, NoId };

struct FactsReading {
    FactsFailure failure = FactsFailure::None;
    int failureArg = 0; // the title or title set the failure is about
    Facts facts;
};

// path: what libdvdread opens. checkVobs: the titles' video must hold every
// sector their cells point at (not for a drive: it would spin the disc up for
// nothing). listFiles: list VIDEO_TS as the disc's own file system has it.
FactsReading readFactsHere(const char *path, bool checkVobs, bool listFiles);

} // namespace playback::disc
