#pragma once
// The helper process that reads a disc's facts: a small program of its own
// (orvanta-disc-facts), or the player itself started again, with a hidden
// option; the helper answers in CBOR on its standard output
// (FactsProtocol.h). A disc that makes libdvdread crash, hang or
// print garbage costs the helper, never the player: the player waits for the
// answer with a timeout, and anything but a whole answer is a refusal.
//
// Threads: readFacts() (Facts.h) may run on any thread; it blocks while the
// helper runs (QProcess, waited for without an event loop).

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

// The program started as the helper, unless set: orvanta-disc-facts where the
// player is built or installed, else the running program itself
// (/proc/self/exe). A program whose main() does not call runFactsHelperIfAsked
// (a test) names one that does. timeoutMs: how long an
// answer may take; by default 10 s, 30 s for a drive (which may spin up first).
void setFactsHelperProgram(const QString &program, std::optional<int> timeoutMs = std::nullopt);

enum class HelperEnd { Answered, NotStarted, Failed, TimedOut, Garbled };
// Runs the helper on path (what libdvdread opens) and waits for its answer, at
// most timeoutMs unless setFactsHelperProgram() says otherwise; the answer
// goes to reading.
HelperEnd runFactsHelper(const QByteArray &path, bool checkVobs, bool listFiles, int timeoutMs, FactsReading &reading);

} // namespace playback::disc
