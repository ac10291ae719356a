// Linked into every test program: the disc facts are read by the player's own
// helper process (see playback/disc/FactsHelper.h), which a test program cannot
// be, so the built player serves.
#include "playback/disc/FactsHelper.h"

namespace {
[[maybe_unused]] const bool helperSet =
    (playback::disc::setFactsHelperProgram(QStringLiteral(ORVANTA_PLAYER_PROGRAM)), true);
}
