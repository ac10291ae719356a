#include "playback/disc/Disc.h"

#include "playback/PlaybackControl.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/cdrom.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace playback::disc {

namespace {

// libdvdread writes a banner and every complaint about a bad disc to stderr
// unless it is given a logger; a failed check here is reported through
// readFacts' reason instead.
void quietLog(void *, dvd_logger_level_t, const char *, va_list) {}
const dvd_logger_cb kQuietLogger = {quietLog};

struct DvdCloser {
    void operator()(dvd_reader_t *d) const { DVDClose(d); }
};
struct IfoCloser {
    void operator()(ifo_handle_t *i) const { ifoClose(i); }
};
struct FileCloser {
    void operator()(dvd_file_t *f) const { DVDCloseFile(f); }
};
using DvdPtr = std::unique_ptr<dvd_reader_t, DvdCloser>;
using IfoPtr = std::unique_ptr<ifo_handle_t, IfoCloser>;
using FilePtr = std::unique_ptr<dvd_file_t, FileCloser>;

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool isBlockDevice(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISBLK(st.st_mode);
}

// The drive's own idea of whether a disc is in it; -1 when the device does not
// answer the question (not a drive, cannot be opened).
int driveStatus(const QString &device)
{
    Fd fd(::open(QFile::encodeName(device).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return -1;
    return ::ioctl(fd.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
}

// The title's VOBs must hold every sector its cells point at: a truncated VOB
// or a truncated image has valid IFOs but cannot be played to the end.
bool titleVobsComplete(dvd_reader_t *dvd, int titleSet, const ifo_handle_t *vts)
{
    const c_adt_t *cells = vts->vts_c_adt;
    if (!cells || !cells->cell_adr_table || cells->last_byte + 1 < C_ADT_SIZE)
        return false;
    const unsigned count = (cells->last_byte + 1 - C_ADT_SIZE) / sizeof(cell_adr_t);
    if (count == 0)
        return false;
    uint32_t last = 0;
    for (unsigned i = 0; i < count; ++i)
        last = std::max(last, cells->cell_adr_table[i].last_sector);
    FilePtr vobs(DVDOpenFile(dvd, titleSet, DVD_READ_TITLE_VOBS));
    if (!vobs)
        return false;
    if (DVDFileSize(vobs.get()) < ssize_t(last) + 1)
        return false;
    unsigned char block[DVD_VIDEO_LB_LEN];
    return DVDReadBlocks(vobs.get(), 0, 1, block) == 1 && DVDReadBlocks(vobs.get(), int(last), 1, block) == 1;
}

void setReason(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
}

QString unescapeMountField(const QByteArray &field)
{
    // /proc/self/mounts writes space, tab, newline and backslash as \ooo.
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3'
            && field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out.append(char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return QFile::decodeName(out);
}

QString canonicalOrSelf(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

std::optional<QString> videoTsIn(const QString &folder)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo &entry : entries) {
        if (entry.fileName().compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0)
            return entry.absoluteFilePath();
    }
    return std::nullopt;
}

QString ejectReason(int error, const QString &device)
{
    switch (error) {
    case EBUSY:
        return QStringLiteral("the drive is busy.");
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return QStringLiteral("there is no drive at %1.").arg(device);
    case ENOTTY:
    case EINVAL:
    case EISDIR:
        return QStringLiteral("%1 is not a disc drive.").arg(device);
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("there is no permission to use the drive %1.").arg(device);
    case ENOSYS:
        return QStringLiteral("the drive cannot open its tray.");
    case ENOMEDIUM:
        return QStringLiteral("the drive holds no disc.");
    default:
        return QStringLiteral("the drive's tray could not be opened (%1).").arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

} // namespace

QString Source::mrl() const
{
    // libvlc takes the part after "dvd://" as a file URI's path: percent-encoded,
    // so a space, '#' or '%' in the path survives.
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return QStringLiteral("dvd://") + QString::fromLatin1(QUrl::toPercentEncoding(absolute, "/"));
}

std::optional<Source> sourceFromArgument(const QString &argument)
{
    if (argument.isEmpty())
        return std::nullopt;
    const QFileInfo info(argument);
    if (!info.exists())
        return std::nullopt;
    const QString absolute = QDir::cleanPath(info.absoluteFilePath());
    const QString target = canonicalOrSelf(absolute);
    if (isBlockDevice(target))
        return Source{SourceKind::Drive, target};
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir()) {
        if (targetInfo.fileName().compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0)
            return Source{SourceKind::Folder, QFileInfo(absolute).absolutePath()};
        return Source{SourceKind::Folder, absolute};
    }
    // A file inside VIDEO_TS (VIDEO_TS.IFO, say) stands for its disc folder.
    const QFileInfo parent(targetInfo.absolutePath());
    static const QStringList discFiles = {QStringLiteral("ifo"), QStringLiteral("bup"), QStringLiteral("vob")};
    if (parent.fileName().compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0
        && discFiles.contains(targetInfo.suffix().toLower()))
        return Source{SourceKind::Folder, parent.absolutePath()};
    return Source{SourceKind::Image, absolute};
}

QStringList opticalDrives() { return detail::opticalDrivesIn(QStringLiteral("/dev")); }

namespace detail {

QStringList opticalDrivesIn(const QString &devDir)
{
    QStringList candidates;
    QDir dev(devDir);
    QStringList sr = dev.entryList({QStringLiteral("sr*")}, QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    // sr2 before sr10
    std::sort(sr.begin(), sr.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    for (const QString &name : sr)
        candidates << dev.filePath(name);
    candidates << dev.filePath(QStringLiteral("dvd")) << dev.filePath(QStringLiteral("cdrom"));

    QStringList drives;
    for (const QString &candidate : candidates) {
        const QString canonical = QFileInfo(candidate).canonicalFilePath();
        if (!canonical.isEmpty() && isBlockDevice(canonical) && !drives.contains(canonical))
            drives << canonical;
    }
    return drives;
}

} // namespace detail

std::optional<Source> findDiscInDrives()
{
    for (const QString &drive : opticalDrives()) {
        if (driveStatus(drive) != CDS_DISC_OK)
            continue;
        Source source{SourceKind::Drive, drive};
        if (readFacts(source))
            return source;
    }
    return std::nullopt;
}

// ---- Reading the IFOs -------------------------------------------------------
// libdvdread trusts the IFO files: some damaged ones make it free a pointer
// twice and crash. The reading therefore runs in a forked child process, which
// only uses libdvdread and the standard library and hands its findings back
// through a pipe; a crash or a hang there costs the child, not the player.

namespace {

enum class Failure { None, Open, NoVmg, NoTitles, MissingTitleSet, TitleSetUnreadable, VobsIncomplete, NoId };

struct RawTitle {
    int chapters = 0;
    std::vector<std::string> subpictures;
    std::vector<int> subpictureIds;
    std::vector<std::string> audio;
};

struct RawFacts {
    Failure failure = Failure::None;
    int failureArg = 0;
    int side = 1;
    std::string id;
    std::vector<RawTitle> titles;
    std::vector<std::string> files; // an image's VIDEO_TS
};

// The files of VIDEO_TS, by their standard names, for those the disc holds.
std::vector<std::string> listVideoTs(dvd_reader_t *dvd, int titleSets)
{
    std::vector<std::string> files;
    for (int set = 0; set <= titleSets; ++set) {
        char base[16];
        if (set == 0)
            std::snprintf(base, sizeof base, "VIDEO_TS");
        else
            std::snprintf(base, sizeof base, "VTS_%02d_", set);
        const std::string stem = set == 0 ? std::string(base) + '.' : std::string(base) + "0.";
        dvd_stat_t st{};
        if (DVDFileStat(dvd, set, DVD_READ_INFO_FILE, &st) == 0)
            files.push_back(stem + "IFO");
        if (DVDFileStat(dvd, set, DVD_READ_INFO_BACKUP_FILE, &st) == 0)
            files.push_back(stem + "BUP");
        if (DVDFileStat(dvd, set, DVD_READ_MENU_VOBS, &st) == 0)
            files.push_back(stem + "VOB");
        if (set > 0 && DVDFileStat(dvd, set, DVD_READ_TITLE_VOBS, &st) == 0) {
            for (int part = 1; part <= st.nr_parts && part <= 9; ++part)
                files.push_back(std::string(base) + char('0' + part) + ".VOB");
        }
    }
    return files;
}

std::string codeFromAttribute(uint16_t langCode)
{
    const char a = char(langCode >> 8);
    const char b = char(langCode & 0xff);
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!letter(a) || !letter(b))
        return {};
    return {char(a | 0x20), char(b | 0x20)};
}

// The program chain a title starts with, or null when the IFO does not say.
const pgc_t *firstProgramChain(const ifo_handle_t *vts, int vtsTitle)
{
    const vts_ptt_srpt_t *ptts = vts->vts_ptt_srpt;
    if (!ptts || !vts->vts_pgcit || vtsTitle < 1 || vtsTitle > ptts->nr_of_srpts)
        return nullptr;
    const ttu_t &ttu = ptts->title[vtsTitle - 1];
    if (ttu.nr_of_ptts < 1 || !ttu.ptt)
        return nullptr;
    const int pgcn = ttu.ptt[0].pgcn;
    if (pgcn < 1 || pgcn > vts->vts_pgcit->nr_of_pgci_srp)
        return nullptr;
    return vts->vts_pgcit->pgci_srp[pgcn - 1].pgc;
}

// The sub-stream a program chain shows for one of its subtitle streams: each
// stream has one per display mode (4:3 in bits 24-28; for a 16:9 picture
// widescreen in 16-20, letterbox in 8-12, pan and scan in 0-4). A 16:9 title
// fills our window, so it takes the widescreen one. -1: not in this chain.
int subpictureStreamId(std::uint32_t control, bool wide)
{
    if (!(control & 0x80000000u))
        return -1;
    return int((wide ? control >> 16 : control >> 24) & 0x1f);
}

RawFacts fail(Failure failure, int arg = 0)
{
    RawFacts r;
    r.failure = failure;
    r.failureArg = arg;
    return r;
}

RawFacts readRawFacts(const char *path, bool checkVobs, bool listFiles)
{
    DvdPtr dvd(DVDOpen2(nullptr, &kQuietLogger, path));
    if (!dvd)
        return fail(Failure::Open);
    IfoPtr vmg(ifoOpen(dvd.get(), 0));
    if (!vmg || !vmg->vmgi_mat)
        return fail(Failure::NoVmg);
    const tt_srpt_t *titles = vmg->tt_srpt;
    if (!titles || !titles->title || titles->nr_of_srpts == 0)
        return fail(Failure::NoTitles);

    RawFacts facts;
    facts.side = vmg->vmgi_mat->disc_side == 2 ? 2 : 1;
    const int titleSets = vmg->vmgi_mat->vmg_nr_of_title_sets;
    // Every title set, not only those with titles: the engine reads them all.
    std::map<int, IfoPtr> sets;
    for (int setNumber = 1; setNumber <= titleSets; ++setNumber) {
        IfoPtr vts(ifoOpen(dvd.get(), setNumber));
        if (!vts || !vts->vtsi_mat)
            return fail(Failure::TitleSetUnreadable, setNumber);
        // A drive holds a pressed or burnt disc, not a file that can be cut
        // short, and reading its far end would spin it up for nothing.
        if (checkVobs && !titleVobsComplete(dvd.get(), setNumber, vts.get()))
            return fail(Failure::VobsIncomplete, setNumber);
        sets.emplace(setNumber, std::move(vts));
    }
    for (int t = 0; t < titles->nr_of_srpts; ++t) {
        const title_info_t &title = titles->title[t];
        const auto found = sets.find(title.title_set_nr);
        if (found == sets.end())
            return fail(Failure::MissingTitleSet, t + 1);
        const vtsi_mat_t *mat = found->second->vtsi_mat;
        RawTitle raw;
        raw.chapters = title.nr_of_ptts;
        const pgc_t *pgc = firstProgramChain(found->second.get(), title.vts_ttn);
        const bool wide = mat->vts_video_attr.display_aspect_ratio == 3;
        const int subpictures = std::min<int>(mat->nr_of_vts_subp_streams, 32);
        for (int i = 0; i < subpictures; ++i) {
            const subp_attr_t &attr = mat->vts_subp_attr[i];
            raw.subpictures.push_back(attr.type == 1 ? codeFromAttribute(attr.lang_code) : std::string());
            raw.subpictureIds.push_back(pgc ? subpictureStreamId(pgc->subp_control[i], wide) : i);
        }
        const int audio = std::min<int>(mat->nr_of_vts_audio_streams, 8);
        for (int i = 0; i < audio; ++i) {
            const audio_attr_t &attr = mat->vts_audio_attr[i];
            raw.audio.push_back(attr.lang_type == 1 ? codeFromAttribute(attr.lang_code) : std::string());
        }
        facts.titles.push_back(std::move(raw));
    }

    if (listFiles)
        facts.files = listVideoTs(dvd.get(), titleSets);

    unsigned char id[16] = {};
    if (DVDDiscID(dvd.get(), id) != 0)
        return fail(Failure::NoId);
    // The identifier is an MD5 digest of the disc's IFO files; half of it (64
    // bits) still tells discs apart and fits the information dialog's label.
    static const char hex[] = "0123456789ABCDEF";
    for (int i = 0; i < 8; ++i) {
        facts.id += hex[id[i] >> 4];
        facts.id += hex[id[i] & 15];
    }
    return facts;
}

// One line per item: "F failure arg", "S side", "I id", then per title
// "T chapters nsub code... naudio code..." with "-" for a stream without a code
// and "P id..." with the sub-stream of each subtitle stream, and at the end
// "L nfiles name..." for the files of an image's VIDEO_TS.
std::string encode(const RawFacts &facts)
{
    std::string out = "F " + std::to_string(int(facts.failure)) + ' ' + std::to_string(facts.failureArg) + '\n';
    out += "S " + std::to_string(facts.side) + "\nI " + (facts.id.empty() ? std::string("-") : facts.id) + '\n';
    for (const RawTitle &t : facts.titles) {
        out += "T " + std::to_string(t.chapters) + ' ' + std::to_string(t.subpictures.size());
        for (const std::string &c : t.subpictures)
            out += ' ' + (c.empty() ? std::string("-") : c);
        out += ' ' + std::to_string(t.audio.size());
        for (const std::string &c : t.audio)
            out += ' ' + (c.empty() ? std::string("-") : c);
        out += "\nP";
        for (int id : t.subpictureIds)
            out += ' ' + std::to_string(id);
        out += '\n';
    }
    out += "L " + std::to_string(facts.files.size());
    for (const std::string &f : facts.files)
        out += ' ' + f;
    out += "\nE\n";
    return out;
}

std::optional<RawFacts> decode(const QByteArray &text)
{
    RawFacts facts;
    bool ended = false;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.isEmpty() || f[0].isEmpty())
            continue;
        bool ok = true;
        if (f[0] == "F" && f.size() == 3) {
            facts.failure = Failure(f[1].toInt(&ok));
            facts.failureArg = f[2].toInt();
        } else if (f[0] == "S" && f.size() == 2) {
            facts.side = f[1].toInt(&ok);
        } else if (f[0] == "I" && f.size() == 2) {
            facts.id = f[1] == "-" ? std::string() : f[1].toStdString();
        } else if (f[0] == "T" && f.size() >= 4) {
            RawTitle t;
            t.chapters = f[1].toInt(&ok);
            qsizetype at = 2;
            const auto codes = [&](std::vector<std::string> &into) {
                const int n = at < f.size() ? f[at].toInt(&ok) : -1;
                if (!ok || n < 0 || at + 1 + n > f.size())
                    return false;
                for (int i = 0; i < n; ++i)
                    into.push_back(f[at + 1 + i] == "-" ? std::string() : f[at + 1 + i].toStdString());
                at += 1 + n;
                return true;
            };
            if (!codes(t.subpictures) || !codes(t.audio))
                return std::nullopt;
            facts.titles.push_back(std::move(t));
        } else if (f[0] == "P" && !facts.titles.empty()) {
            RawTitle &t = facts.titles.back();
            if (f.size() - 1 != qsizetype(t.subpictures.size()))
                return std::nullopt;
            for (qsizetype i = 1; i < f.size(); ++i)
                t.subpictureIds.push_back(f[i].toInt(&ok));
        } else if (f[0] == "L" && f.size() >= 2) {
            const int n = f[1].toInt(&ok);
            if (!ok || n != f.size() - 2)
                return std::nullopt;
            for (int i = 0; i < n; ++i)
                facts.files.push_back(f[2 + i].toStdString());
        } else if (f[0] == "E") {
            ended = true;
        } else {
            return std::nullopt;
        }
        if (!ok)
            return std::nullopt;
    }
    if (!ended)
        return std::nullopt;
    return facts;
}

enum class ChildEnd { Finished, Crashed, TimedOut, NotStarted };

ChildEnd readRawFactsInChild(const QByteArray &path, bool checkVobs, bool listFiles, int timeoutMs,
                             RawFacts &result)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return ChildEnd::NotStarted;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return ChildEnd::NotStarted;
    }
    if (pid == 0) {
        ::close(fds[0]);
        // Die quietly of a crash: handlers inherited from the program (a test
        // framework's, say) would report it as the program's own or hang.
        struct sigaction plain {};
        plain.sa_handler = SIG_DFL;
        sigemptyset(&plain.sa_mask);
        for (int sig : {SIGSEGV, SIGABRT, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGSYS})
            ::sigaction(sig, &plain, nullptr);
        sigset_t all;
        sigfillset(&all);
        ::sigprocmask(SIG_UNBLOCK, &all, nullptr);
        // glibc reports heap corruption on stderr; the reason says it instead.
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0)
            ::dup2(null, STDERR_FILENO);
        const std::string text = encode(readRawFacts(path.constData(), checkVobs, listFiles));
        size_t written = 0;
        while (written < text.size()) {
            const ssize_t n = ::write(fds[1], text.data() + written, text.size() - written);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                ::_exit(1);
            written += size_t(n);
        }
        ::_exit(0); // no atexit handlers, no Qt teardown in the copy
    }
    ::close(fds[1]);
    QByteArray text;
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
        text.append(buffer, n);
    }
    ::close(fds[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut)
        return ChildEnd::TimedOut;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return ChildEnd::Crashed;
    const std::optional<RawFacts> decoded = decode(text);
    if (!decoded)
        return ChildEnd::Crashed;
    result = *decoded;
    return ChildEnd::Finished;
}

} // namespace

std::optional<Facts> readFacts(const Source &source, QString *reason)
{
    if (source.path.isEmpty()) {
        setReason(reason, QStringLiteral("no disc was named."));
        return std::nullopt;
    }
    const QFileInfo info(source.path);
    if (!info.exists()) {
        setReason(reason, QStringLiteral("there is nothing at %1.").arg(source.path));
        return std::nullopt;
    }
    if (source.kind == SourceKind::Drive) {
        // Asking libdvdread about an empty drive would wait for the drive to
        // give up; the drive answers this at once.
        const int status = driveStatus(source.path);
        if (status >= 0 && status != CDS_DISC_OK) {
            setReason(reason, status == CDS_TRAY_OPEN ? QStringLiteral("the drive's tray is open.")
                              : status == CDS_DRIVE_NOT_READY ? QStringLiteral("the drive is not ready.")
                                                             : QStringLiteral("there is no disc in the drive."));
            return std::nullopt;
        }
    } else if (source.kind == SourceKind::Image && !info.isFile() && !isBlockDevice(source.path)) {
        // Opening a pipe or a socket would block.
        setReason(reason, QStringLiteral("%1 is not a disc image.").arg(source.path));
        return std::nullopt;
    }

    // A drive may need several seconds to spin up and read its IFOs.
    const int timeoutMs = source.kind == SourceKind::Drive ? 30000 : 10000;
    RawFacts raw;
    const bool checkVobs = source.kind != SourceKind::Drive, listFiles = source.kind == SourceKind::Image;
    switch (readRawFactsInChild(QFile::encodeName(source.path), checkVobs, listFiles, timeoutMs, raw)) {
    case ChildEnd::Finished:
        break;
    case ChildEnd::NotStarted:
        // No process to spare: read here rather than not at all.
        raw = readRawFacts(QFile::encodeName(source.path).constData(), checkVobs, listFiles);
        break;
    case ChildEnd::Crashed:
        setReason(reason, QStringLiteral("the disc's IFO files are damaged."));
        return std::nullopt;
    case ChildEnd::TimedOut:
        setReason(reason, QStringLiteral("reading %1 took too long.").arg(source.path));
        return std::nullopt;
    }

    const QString set = QString::number(raw.failureArg);
    const QString set2 = QStringLiteral("%1").arg(raw.failureArg, 2, 10, QLatin1Char('0'));
    switch (raw.failure) {
    case Failure::None:
        break;
    case Failure::Open:
        setReason(reason, QStringLiteral("%1 cannot be opened as a DVD.").arg(source.path));
        return std::nullopt;
    case Failure::NoVmg:
        setReason(reason, QStringLiteral("%1 holds no readable DVD-Video disc (no valid VIDEO_TS.IFO).").arg(source.path));
        return std::nullopt;
    case Failure::NoTitles:
        setReason(reason, QStringLiteral("the disc has no titles."));
        return std::nullopt;
    case Failure::MissingTitleSet:
        setReason(reason, QStringLiteral("title %1 points to a missing title set.").arg(set));
        return std::nullopt;
    case Failure::TitleSetUnreadable:
        setReason(reason, QStringLiteral("title set %1 cannot be read (VTS_%2_0.IFO).").arg(set, set2));
        return std::nullopt;
    case Failure::VobsIncomplete:
        setReason(reason, QStringLiteral("the video of title set %1 is missing or cut short (VTS_%2_1.VOB).").arg(set, set2));
        return std::nullopt;
    case Failure::NoId:
        setReason(reason, QStringLiteral("the disc's identifier cannot be read."));
        return std::nullopt;
    }

    Facts facts;
    facts.discSide = raw.side == 2 ? 2 : 1;
    facts.uniqueId = QString::fromStdString(raw.id);
    for (const RawTitle &t : raw.titles) {
        TitleFacts tf;
        tf.chapters = t.chapters;
        for (const std::string &c : t.subpictures)
            tf.subpictureLanguageCodes << QString::fromStdString(c);
        tf.subpictureStreamIds = t.subpictureIds;
        for (const std::string &c : t.audio)
            tf.audioLanguageCodes << QString::fromStdString(c);
        facts.titles.push_back(tf);
    }
    for (const std::string &f : raw.files)
        facts.videoTsFiles << QString::fromStdString(f);
    return facts;
}

QString languageName(const QString &code)
{
    const QString trimmed = code.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("Unknown");
    // Codes withdrawn from ISO 639-1 that discs still carry, and Norwegian's
    // macrolanguage code, which Qt knows only as Bokmål.
    static const std::map<QString, QString> current = {
        {QStringLiteral("iw"), QStringLiteral("he")}, {QStringLiteral("in"), QStringLiteral("id")},
        {QStringLiteral("ji"), QStringLiteral("yi")}, {QStringLiteral("jw"), QStringLiteral("jv")},
        {QStringLiteral("mo"), QStringLiteral("ro")}, {QStringLiteral("sh"), QStringLiteral("sr")},
        {QStringLiteral("no"), QStringLiteral("nb")}};
    QString lookup = trimmed.toLower();
    if (const auto it = current.find(lookup); it != current.end())
        lookup = it->second;
    const QLocale::Language language = QLocale::codeToLanguage(
        lookup, QLocale::ISO639Part1 | QLocale::ISO639Part2B | QLocale::ISO639Part2T);
    if (language == QLocale::AnyLanguage || language == QLocale::C)
        return trimmed;
    return QLocale::languageToString(language);
}

namespace detail {

std::optional<QString> mountPointIn(const QByteArray &mountTable, const QString &device)
{
    const QString wanted = canonicalOrSelf(device);
    std::optional<QString> mountPoint;
    for (const QByteArray &line : mountTable.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        const QString mounted = unescapeMountField(fields[0]);
        if (!mounted.startsWith(QLatin1Char('/')))
            continue;
        // The last match wins: a later mount hides an earlier one.
        if (canonicalOrSelf(mounted) == wanted)
            mountPoint = unescapeMountField(fields[1]);
    }
    return mountPoint;
}

} // namespace detail

std::optional<QString> videoDirectory(const Source &source)
{
    switch (source.kind) {
    case SourceKind::Folder: {
        // sourceFromArgument gives the folder above VIDEO_TS, but a Source made
        // by hand may name VIDEO_TS itself.
        const QFileInfo folder(source.path);
        if (folder.isDir() && folder.fileName().compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0)
            return QDir::cleanPath(folder.absoluteFilePath());
        return videoTsIn(source.path);
    }
    case SourceKind::Drive: {
        QFile mounts(QStringLiteral("/proc/self/mounts"));
        if (!mounts.open(QIODevice::ReadOnly))
            return std::nullopt;
        const std::optional<QString> mountPoint = detail::mountPointIn(mounts.readAll(), source.path);
        if (!mountPoint)
            return std::nullopt;
        return videoTsIn(*mountPoint);
    }
    case SourceKind::Image:
        return QDir::cleanPath(QFileInfo(source.path).absoluteFilePath()) + QStringLiteral("/VIDEO_TS");
    }
    return std::nullopt;
}

std::optional<QString> imageOfVideoTs(const QString &videoTs)
{
    const QFileInfo dir(videoTs);
    if (dir.fileName() != QLatin1String("VIDEO_TS"))
        return std::nullopt;
    const QFileInfo image(dir.path());
    if (!image.isFile())
        return std::nullopt;
    return image.filePath();
}

void ejectDrive(const QString &device)
{
    const QString name = device.isEmpty() ? QStringLiteral("(none)") : device;
    Fd fd(::open(QFile::encodeName(device).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        throw PlaybackError(QStringLiteral("Eject"), ejectReason(errno, name));
    // A player or the kernel may have locked the door while a disc plays.
    if (::ioctl(fd.get(), CDROM_LOCKDOOR, 0) != 0 && (errno == ENOTTY || errno == EINVAL))
        throw PlaybackError(QStringLiteral("Eject"), ejectReason(errno, name));
    if (::ioctl(fd.get(), CDROMEJECT, 0) != 0)
        throw PlaybackError(QStringLiteral("Eject"), ejectReason(errno, name));
}

} // namespace playback::disc
