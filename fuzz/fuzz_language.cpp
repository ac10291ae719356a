// Language names from the codes a disc carries: any code gives a name to show,
// the same one each time.

#include "playback/disc/Language.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString code = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString name = playback::disc::languageName(code);
    if (name.isEmpty() || name != playback::disc::languageName(code))
        std::abort();
    const QString trimmed = code.trimmed();
    if (trimmed.isEmpty() != (name == QLatin1String("Unknown") && trimmed != name))
        std::abort();
    // Only a two- or three-letter code is translated; anything else is shown as it is.
    if (!trimmed.isEmpty() && name != trimmed) {
        if (trimmed.size() < 2 || trimmed.size() > 3)
            std::abort();
        for (const QChar c : name) {
            if (!c.isPrint())
                std::abort();
        }
    }
    return 0;
}
