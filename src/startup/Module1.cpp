#include "startup/Module1.h"

#include "app/Errors.h"

namespace Module1 {

std::array<QString, kSubtitleLanguagesUpper + 1> SubtitleLanguages;
std::int16_t SubtitleStreamCount = 0;

QString &subtitleLanguage(int i)
{
    if (i < 0 || i > kSubtitleLanguagesUpper)
        throw app::SubscriptOutOfRange(QStringLiteral("subtitle language %1 is outside 0 to %2")
                                           .arg(i)
                                           .arg(kSubtitleLanguagesUpper));
    return SubtitleLanguages[std::size_t(i)];
}

} // namespace Module1
