#include "playback/disc/FactsHelper.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace playback::disc {

namespace {

// The answer's first line; a helper of another version is not understood.
constexpr char kProtocol[] = "orvanta-disc-facts 2";

struct Helper {
    QString program = QStringLiteral("/proc/self/exe");
    std::optional<int> timeoutMs;
};
Helper &helper()
{
    static Helper h;
    return h;
}
std::mutex helperMutex;

QByteArray code(const QString &c) { return c.isEmpty() ? QByteArray("-") : c.toLatin1(); }
QString uncode(const QByteArray &c) { return c == "-" ? QString() : QString::fromLatin1(c); }

std::optional<Problem> problemFrom(const QByteArray &number)
{
    bool ok = false;
    const int n = number.toInt(&ok);
    if (!ok || n < int(Problem::None) || n > int(kLastProblem))
        return std::nullopt;
    return Problem(n);
}

enum class HelperEnd { Answered, NotStarted, Failed, TimedOut, Garbled };

// Runs the helper on path and waits for its answer at most timeoutMs.
HelperEnd runHelper(const QByteArray &path, bool checkVobs, bool listFiles, int timeoutMs, FactsReading &reading)
{
    QByteArray program;
    {
        std::lock_guard lock(helperMutex);
        program = QFile::encodeName(helper().program);
        timeoutMs = helper().timeoutMs.value_or(timeoutMs);
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return HelperEnd::NotStarted;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // libdvdread and glibc's heap checks complain on stderr; the reason says it instead.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // A crash ends the helper quietly: handlers and masks of the player (a test
    // framework's, say) are not inherited.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    char *argv[] = {program.data(), const_cast<char *>(kFactsHelperOption), const_cast<char *>(path.constData()),
                    const_cast<char *>(checkVobs ? "vobs" : "-"), const_cast<char *>(listFiles ? "files" : "-"),
                    nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, program.constData(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return HelperEnd::NotStarted;
    }

    QByteArray answer;
    QElapsedTimer timer;
    timer.start();
    bool timedOut = false;
    for (;;) {
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            timedOut = ready == 0;
            break;
        }
        char buffer[4096];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        answer.append(buffer, n);
    }
    ::close(fds[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut)
        return HelperEnd::TimedOut;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return HelperEnd::Failed;
    std::optional<FactsReading> decoded = decodeFacts(answer);
    if (!decoded)
        return HelperEnd::Garbled;
    reading = std::move(*decoded);
    return HelperEnd::Answered;
}

} // namespace

void setFactsHelperProgram(const QString &program, std::optional<int> timeoutMs)
{
    std::lock_guard lock(helperMutex);
    helper() = Helper{program, timeoutMs};
}

// One line per item, after the protocol line: "F problem", "S side", "I id",
// "V volume" (percent-encoded), per title "T chapters nsub code... naudio
// code..." ("-" for a stream without a code), "P id..." with the sub-stream of
// each subtitle stream and "X problem" (why it cannot be played, 0 if it can), then
// "L name..." with an image's VIDEO_TS, and "E" to end.
QByteArray encodeFacts(const FactsReading &reading)
{
    const Facts &facts = reading.facts;
    QByteArray out = QByteArray(kProtocol) + '\n';
    out += "F " + QByteArray::number(int(reading.failure)) + '\n';
    out += "S " + QByteArray::number(facts.discSide) + "\nI " + code(facts.uniqueId) + '\n';
    out += "V " + code(QString::fromLatin1(facts.volumeName.toUtf8().toPercentEncoding({}, "-"))) + '\n';
    for (const TitleFacts &t : facts.titles) {
        out += "T " + QByteArray::number(t.chapters) + ' ' + QByteArray::number(t.subpictureLanguageCodes.size());
        for (const QString &c : t.subpictureLanguageCodes)
            out += ' ' + code(c);
        out += ' ' + QByteArray::number(t.audioLanguageCodes.size());
        for (const QString &c : t.audioLanguageCodes)
            out += ' ' + code(c);
        out += "\nP";
        for (int id : t.subpictureStreamIds)
            out += ' ' + QByteArray::number(id);
        out += "\nX " + QByteArray::number(int(t.problem)) + '\n';
    }
    out += 'L';
    for (const QString &f : facts.videoTsFiles)
        out += ' ' + QFile::encodeName(f);
    out += "\nE\n";
    return out;
}

std::optional<FactsReading> decodeFacts(const QByteArray &answer)
{
    QList<QByteArray> lines = answer.split('\n');
    if (lines.size() < 3 || lines.takeFirst() != kProtocol || lines.takeLast() != "" || lines.takeLast() != "E")
        return std::nullopt;
    FactsReading reading;
    Facts &facts = reading.facts;
    bool ok = true;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> f = line.split(' ');
        const QByteArray &kind = f[0];
        if ((kind == "F" || kind == "X") && f.size() == 2) {
            const std::optional<Problem> problem = problemFrom(f[1]);
            if (!problem || (kind == "X" && facts.titles.empty()))
                return std::nullopt;
            (kind == "F" ? reading.failure : facts.titles.back().problem) = *problem;
        } else if (kind == "S" && f.size() == 2) {
            facts.discSide = f[1].toInt(&ok);
        } else if (kind == "I" && f.size() == 2) {
            facts.uniqueId = uncode(f[1]);
        } else if (kind == "V" && f.size() == 2) {
            facts.volumeName = QString::fromUtf8(QByteArray::fromPercentEncoding(uncode(f[1]).toLatin1()));
        } else if (kind == "T" && f.size() >= 4) {
            TitleFacts t;
            t.chapters = f[1].toInt(&ok);
            qsizetype at = 2;
            const auto codes = [&](QStringList &into) {
                const int n = at < f.size() ? f[at].toInt(&ok) : -1;
                if (!ok || n < 0 || at + 1 + n > f.size())
                    return false;
                for (int i = 0; i < n; ++i)
                    into << uncode(f[at + 1 + i]);
                at += 1 + n;
                return true;
            };
            if (!codes(t.subpictureLanguageCodes) || !codes(t.audioLanguageCodes) || at != f.size())
                return std::nullopt;
            facts.titles.push_back(std::move(t));
        } else if (kind == "P" && !facts.titles.empty()) {
            TitleFacts &t = facts.titles.back();
            if (f.size() - 1 != t.subpictureLanguageCodes.size() || !t.subpictureStreamIds.empty())
                return std::nullopt;
            for (qsizetype i = 1; i < f.size() && ok; ++i)
                t.subpictureStreamIds.push_back(f[i].toInt(&ok));
        } else if (kind == "L") {
            for (qsizetype i = 1; i < f.size(); ++i)
                facts.videoTsFiles << QFile::decodeName(f[i]);
        } else {
            return std::nullopt;
        }
        if (!ok)
            return std::nullopt;
    }
    return reading;
}

std::optional<int> runFactsHelperIfAsked(int argc, char **argv)
{
    if (argc < 2 || std::strcmp(argv[1], kFactsHelperOption) != 0)
        return std::nullopt;
    if (argc != 5)
        return 2;
    const QByteArray answer = encodeFacts(
        readFactsHere(argv[2], std::strcmp(argv[3], "vobs") == 0, std::strcmp(argv[4], "files") == 0));
    for (qsizetype written = 0; written < answer.size();) {
        const ssize_t n = ::write(STDOUT_FILENO, answer.constData() + written, size_t(answer.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 1;
        written += n;
    }
    return 0;
}

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
        const bool isVideoTs = QFileInfo(source.path).fileName().compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0;
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
        // A drive may need several seconds to spin up and read its IFOs.
        const int timeoutMs = source.kind == SourceKind::Drive ? 30000 : 10000;
        const bool checkVobs = source.kind != SourceKind::Drive, listFiles = source.kind == SourceKind::Image;
        switch (runHelper(QFile::encodeName(source.path), checkVobs, listFiles, timeoutMs, reading)) {
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

std::optional<Source> findDiscInDrives(Problem *problem)
{
    const QStringList drives = opticalDrives();
    Problem first = drives.isEmpty() ? Problem::NoDrive : Problem::NoDisc;
    for (const QString &drive : drives) {
        if (driveState(drive) != DriveState::Disc)
            continue;
        Source source{SourceKind::Drive, drive};
        Problem found = Problem::None;
        if (readFacts(source, &found) && found == Problem::None)
            return source;
        if (first == Problem::NoDisc)
            first = found;
    }
    if (problem)
        *problem = first;
    return std::nullopt;
}

} // namespace playback::disc
