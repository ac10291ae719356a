// orvanta-disc-facts: the helper process that reads a disc's facts for the
// player (see playback/disc/FactsHelper.h). A program of its own, linked with
// the disc layer alone, so that starting it costs little: the player starts it
// for every disc it reads.
#include "playback/disc/FactsHelper.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (const std::optional<int> status = playback::disc::runFactsHelperIfAsked(argc, argv))
        return *status;
    std::fprintf(stderr, "usage: orvanta-disc-facts %s PATH vobs|- files|-\n", playback::disc::kFactsHelperOption);
    return 2;
}
