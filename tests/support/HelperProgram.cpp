// Linked into every test program: the disc facts are read by the player's
// helper program (see playback/disc/FactsHelper.h), the one built beside it.
#include "playback/disc/FactsHelper.h"

namespace {
[[maybe_unused]] const bool helperSet =
    (playback::disc::setFactsHelperProgram(QStringLiteral(ORVANTA_FACTS_PROGRAM)), true);
}
