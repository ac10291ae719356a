#pragma once
// The helper process that reads a disc's facts: the program runs itself again
// with a hidden option, and the helper answers in a small versioned text
// protocol on its standard output. A disc that makes libdvdread crash, hang or
// print garbage costs the helper, never the player: the player waits for the
// answer with a timeout, and anything but a whole answer is a refusal.
//
// Threads: readFacts() (Facts.h) may run on any thread; it blocks while the
// helper runs. posix_spawn starts the helper without forking the player's heap.

#include "playback/disc/FactsReader.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace playback::disc {

// The option that makes the program the helper: PROGRAM --read-disc-facts PATH vobs|- files|-
inline constexpr char kFactsHelperOption[] = "--read-disc-facts";

// Call first thing in main(): when the program was started as the helper, it
// reads the disc, writes the answer and returns the exit status; otherwise nullopt.
std::optional<int> runFactsHelperIfAsked(int argc, char **argv);

// The program started as the helper: the running program itself
// (/proc/self/exe) unless set. A program whose main() does not call
// runFactsHelperIfAsked (a test) names one that does. timeoutMs: how long an
// answer may take; by default 10 s, 30 s for a drive (which may spin up first).
void setFactsHelperProgram(const QString &program, std::optional<int> timeoutMs = std::nullopt);

// The protocol, both ways. decode: nullopt for anything but a whole answer of
// this version.
QByteArray encodeFacts(const FactsReading &reading);
std::optional<FactsReading> decodeFacts(const QByteArray &answer);

} // namespace playback::disc
