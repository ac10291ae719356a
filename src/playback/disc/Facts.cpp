#include "playback/disc/Facts.h"

#include "playback/disc/FactsHelper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace playback::disc {

namespace {

// How long the helper may take to read a disc's facts: tens of milliseconds from
// a file, which a busy machine may stretch to seconds; a drive may need several
// seconds to spin up and read its IFOs.
constexpr int kFileReadingMs = 10000;
constexpr int kDriveReadingMs = 30000;

} // namespace

namespace {

// What the file system says before the disc is read: a missing path, one the
// user may not read, a folder without VIDEO_TS, an empty drive.
Problem sourceProblem(const Source &source)
{
    if (const Problem path = pathProblem(source.path); path != Problem::None)
        return path;
    const QByteArray path = QFile::encodeName(source.path);
    struct stat st{};
    if (::stat(path.constData(), &st) != 0)
        return Problem::NotFound; // gone since
    const bool folder = S_ISDIR(st.st_mode);
    if (::access(path.constData(), folder ? R_OK | X_OK : R_OK) != 0)
        return errno == EACCES || errno == EPERM ? Problem::PermissionDenied : Problem::Unreadable;
    switch (source.kind) {
    case SourceKind::Drive:
        // Asking libdvdread about an empty drive would wait for the drive to
        // give up; the drive answers this at once.
        if (const std::optional<DriveState> state = driveState(source.path); state && *state != DriveState::Disc)
            return Problem::NoDisc;
        break;
    case SourceKind::Image:
        // Opening a pipe or a socket would block.
        if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode))
            return Problem::NotDvdImage;
        break;
    case SourceKind::Folder: {
        const bool isVideoTs = isVideoTsName(QFileInfo(source.path).fileName());
        const std::optional<QString> videoTs = isVideoTs ? std::optional(source.path) : videoDirectory(source);
        if (!videoTs || !QFileInfo(*videoTs).isDir())
            return Problem::NotDvdVideo;
        if (::access(QFile::encodeName(*videoTs).constData(), R_OK | X_OK) != 0)
            return Problem::PermissionDenied;
        // libdvdread finds the files whatever their case; so does the name filter.
        const QDir dir(*videoTs);
        if (dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
            return Problem::EmptyVideoTs;
        if (dir.entryList({QStringLiteral("VIDEO_TS.IFO"), QStringLiteral("VIDEO_TS.BUP")}, QDir::Files).isEmpty())
            return Problem::NoVideoTsIfo;
        break;
    }
    }
    return Problem::None;
}

} // namespace

std::optional<Facts> readFacts(const Source &source, Problem *problem)
{
    Problem found = sourceProblem(source);
    FactsReading reading;
    if (found == Problem::None) {
        const int timeoutMs = source.kind == SourceKind::Drive ? kDriveReadingMs : kFileReadingMs;
        const bool checkVobs = source.kind != SourceKind::Drive, listFiles = source.kind == SourceKind::Image;
        switch (runFactsHelper(QFile::encodeName(source.path), checkVobs, listFiles, timeoutMs, reading)) {
        case HelperEnd::Answered:
            found = reading.failure;
            break;
        case HelperEnd::Failed: // libdvdread crashed on the IFOs
            found = Problem::NavigationDamaged;
            break;
        case HelperEnd::NotStarted:
        case HelperEnd::TimedOut:
        case HelperEnd::Garbled:
            found = Problem::Unreadable;
            break;
        }
    }
    if (found == Problem::None && reading.facts.titles.empty())
        found = Problem::NavigationDamaged;
    else if (found == Problem::None && reading.facts.firstPlayableTitle() == 0)
        found = reading.facts.titles.front().problem;
    if (problem)
        *problem = found;
    if (reading.facts.titles.empty())
        return std::nullopt;
    return std::move(reading.facts);
}

std::optional<Source> findDiscInDrives(Problem *problem, Facts *facts)
{
    const QStringList drives = opticalDrives();
    Problem first = drives.isEmpty() ? Problem::NoDrive : Problem::NoDisc;
    for (const QString &drive : drives) {
        if (driveState(drive) != DriveState::Disc)
            continue;
        Source source{SourceKind::Drive, drive};
        Problem found = Problem::None;
        if (std::optional<Facts> read = readFacts(source, &found); read && found == Problem::None) {
            if (facts)
                *facts = std::move(*read);
            return source;
        }
        if (first == Problem::NoDisc)
            first = found;
    }
    if (problem)
        *problem = first;
    return std::nullopt;
}

} // namespace playback::disc
