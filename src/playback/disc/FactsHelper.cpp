#include "playback/disc/FactsHelper.h"

#include "playback/disc/FactsProtocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

#include <unistd.h>

namespace playback::disc {

namespace {

// The helper program installed with the player, beside it in the build tree or
// in its own folder under libexec; else the running program, which answers as
// the helper too (the player's main() does).
QString defaultHelperProgram()
{
    const QString self = QStringLiteral("/proc/self/exe");
    const QDir dir = QFileInfo(QFileInfo(self).symLinkTarget()).dir();
    for (const QString &candidate : {dir.filePath(QStringLiteral("orvanta-disc-facts")),
                                     dir.filePath(QStringLiteral(ORVANTA_HELPER_DIR "/orvanta-disc-facts"))})
        if (QFileInfo(candidate).isExecutable())
            return QDir::cleanPath(candidate);
    return self;
}

struct Helper {
    QString program = defaultHelperProgram();
    std::optional<int> timeoutMs;
};
Helper &helper()
{
    static Helper h;
    return h;
}
std::mutex helperMutex;

} // namespace

HelperEnd runFactsHelper(const QByteArray &path, bool checkVobs, bool listFiles, int timeoutMs,
                         FactsReading &reading)
{
    QByteArray program;
    {
        std::lock_guard lock(helperMutex);
        program = QFile::encodeName(helper().program);
        timeoutMs = helper().timeoutMs.value_or(timeoutMs);
    }
    QProcess helperProcess;
    helperProcess.setProgram(QFile::decodeName(program));
    helperProcess.setArguments({QString::fromLatin1(kFactsHelperOption), QFile::decodeName(path),
                                QString::fromLatin1(checkVobs ? "vobs" : "-"), QString::fromLatin1(listFiles ? "files" : "-")});
    helperProcess.setStandardInputFile(QProcess::nullDevice());
    // libdvdread and glibc's heap checks complain on stderr; the reason says it instead.
    helperProcess.setStandardErrorFile(QProcess::nullDevice());
    // A crash ends the helper quietly: the player's blocked and ignored signals
    // (a test framework's, say) are not inherited. Runs in the child before exec.
    helperProcess.setChildProcessModifier([] {
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int signal = 1; signal < NSIG; ++signal)
            ::signal(signal, SIG_DFL);
    });
    helperProcess.start(QIODevice::ReadOnly);
    if (!helperProcess.waitForStarted(timeoutMs))
        return HelperEnd::NotStarted;
    if (!helperProcess.waitForFinished(timeoutMs)) {
        helperProcess.kill();
        helperProcess.waitForFinished();
        return HelperEnd::TimedOut;
    }
    if (helperProcess.exitStatus() != QProcess::NormalExit || helperProcess.exitCode() != 0)
        return HelperEnd::Failed;
    const QByteArray answer = helperProcess.readAllStandardOutput();
    std::optional<FactsReading> decoded = decodeFacts(answer);
    if (!decoded)
        return HelperEnd::Garbled;
    reading = std::move(*decoded);
    return HelperEnd::Answered;
}

void setFactsHelperProgram(const QString &program, std::optional<int> timeoutMs)
{
    std::lock_guard lock(helperMutex);
    helper() = Helper{program, timeoutMs};
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

} // namespace playback::disc
