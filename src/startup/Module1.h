#pragma once
// Program-wide data: the subtitle language table that the status poll writes
// and the subtitle language dialog reads.

#include <QString>

#include <array>
#include <cstdint>

namespace Module1 {

inline constexpr int kSubtitleLanguagesUpper = 50; // indices 0 to 50; entry 0 stays unused

extern std::array<QString, kSubtitleLanguagesUpper + 1> SubtitleLanguages;
extern std::int16_t SubtitleStreamCount;

// Entry i of the table, bounds-checked: an index outside 0..50 throws
// app::SubscriptOutOfRange.
QString &subtitleLanguage(int i);

} // namespace Module1
