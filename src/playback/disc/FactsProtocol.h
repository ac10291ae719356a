#pragma once
// The helper process's answer (see FactsHelper.h), as CBOR: a map with the
// protocol's version, why no title can be played, the disc's identity and its
// titles. Decoding takes only a whole answer of this version whose every field
// has its type and range; anything else (a helper that crashed half-way, or
// wrote garbage) is no answer. Any thread.

#include "playback/disc/FactsReader.h"

#include <QByteArray>

#include <optional>

namespace playback::disc {

QByteArray encodeFacts(const FactsReading &reading);
std::optional<FactsReading> decodeFacts(const QByteArray &answer);

} // namespace playback::disc
