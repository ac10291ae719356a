#pragma once
// Language names for the codes discs carry.

#include <QString>

namespace playback::disc {

// The English name of an ISO 639-1/639-2 language code ("en" -> "English"),
// the code itself when it is unknown, "Unknown" for an empty code. Codes
// withdrawn from ISO 639-1 that discs still carry ("iw", "in", "ji", "jw", "mo",
// "sh") and Norwegian's "no" get the name of their current code.
QString languageName(const QString &code);

} // namespace playback::disc
