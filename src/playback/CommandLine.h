#pragma once
// The program's one optional argument, the disc, and --help / --version.

#include <QStringList>

#include <optional>

namespace playback {

struct CommandLine {
    QString disc; // empty: find a disc in the optical drives
};

// Parses the arguments (without the program name). Returns the exit status
// when the program must end before any window opens (--help, --version, a
// disc that does not exist, an unknown option); text goes to out and err.
std::optional<int> parseCommandLine(const QStringList &args, CommandLine &result, QString &out, QString &err);

} // namespace playback
