#include "playback/CommandLine.h"

#include "Version.h"
#include "playback/disc/Source.h"

#include <QFile>

#include <cerrno>

#include <sys/stat.h>

namespace playback {

namespace {

// Why a path on the command line cannot be used, from stat()'s errno.
QString pathError(const QString &path)
{
    struct stat st{};
    if (!path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) != 0) {
        switch (errno) {
        case EACCES:
            return QStringLiteral("permission denied");
        case ELOOP:
            return QStringLiteral("too many symbolic links");
        case ENAMETOOLONG:
            return QStringLiteral("the path is too long");
        }
    }
    return QStringLiteral("no such file, folder or device");
}

} // namespace

std::optional<int> parseCommandLine(const QStringList &args, CommandLine &result, QString &out, QString &err)
{
    static const QString usage = QStringLiteral(
        "Usage: orvanta-player [DISC]\n"
        "Plays a DVD-Video disc.\n\n"
        "DISC is a DVD drive (/dev/sr0), a DVD image file (.iso) or a folder that\n"
        "holds VIDEO_TS. Without it the player uses the first drive that holds a DVD.\n\n"
        "  --help     show this help and exit\n"
        "  --version  show the version and exit\n");
    QStringList discs;
    bool optionsEnded = false;
    for (const QString &a : args) {
        if (!optionsEnded && a == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && a == QLatin1String("--help")) {
            out = usage;
            return 0;
        } else if (!optionsEnded && a == QLatin1String("--version")) {
            out = QStringLiteral("Orvanta Player %1\n").arg(QLatin1String(kVersion));
            return 0;
        } else if (!optionsEnded && a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            err = QStringLiteral("orvanta-player: unknown option %1\n%2").arg(a, usage);
            return 2;
        } else {
            discs << a;
        }
    }
    if (discs.size() > 1) {
        err = QStringLiteral("orvanta-player: give one disc at most\n%1").arg(usage);
        return 2;
    }
    if (!discs.isEmpty()) {
        const QString &disc = discs.first();
        if (!disc::sourceFromArgument(disc)) {
            err = QStringLiteral("orvanta-player: %1: %2\n").arg(disc, pathError(disc));
            return 2;
        }
        result.disc = disc;
    }
    return std::nullopt;
}

} // namespace playback
