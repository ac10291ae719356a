// The helper process's answer, as the player reads it: anything the helper
// writes (a crashed or confused helper writes anything) is a whole answer or
// none, and a whole answer reads back the same after it is written again.

#include "playback/disc/FactsProtocol.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray answer(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<playback::disc::FactsReading> reading = playback::disc::decodeFacts(answer);
    if (!reading)
        return 0;
    const std::optional<playback::disc::FactsReading> again =
        playback::disc::decodeFacts(playback::disc::encodeFacts(*reading));
    if (!again || playback::disc::encodeFacts(*again) != playback::disc::encodeFacts(*reading))
        std::abort();
    for (const playback::disc::TitleFacts &t : reading->facts.titles)
        if (!t.subpictureStreamIds.empty() && t.subpictureStreamIds.size() != std::size_t(t.subpictureLanguageCodes.size()))
            std::abort();
    return 0;
}
