// The command line: any list of arguments either ends the program with 0 or 2
// and a text, or names at most one disc that exists.

#include "playback/CommandLine.h"
#include "playback/disc/Source.h"

#include <QFileInfo>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Arguments are separated by NUL bytes, as in the kernel's argument block.
    QStringList args;
    for (const QByteArray &a : QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\0'))
        args << QString::fromLocal8Bit(a);

    playback::CommandLine result;
    QString out, err;
    const std::optional<int> status = playback::parseCommandLine(args, result, out, err);
    if (status) {
        if (*status == 0 && (out.isEmpty() || !err.isEmpty()))
            std::abort();
        if (*status == 2 && (err.isEmpty() || !out.isEmpty()))
            std::abort();
        if (*status != 0 && *status != 2)
            std::abort();
    } else {
        if (!out.isEmpty() || !err.isEmpty())
            std::abort();
        if (!result.disc.isEmpty() && (!args.contains(result.disc) || !playback::disc::sourceFromArgument(result.disc)))
            std::abort();
    }
    return 0;
}
