#include "playback/disc/Disc.h"

#include "playback/PlaybackControl.h"

#include <QDir>
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
#include <cstring>
#include <map>
#include <memory>

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
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

QString codeFromAttribute(uint16_t langCode)
{
    const char a = char(langCode >> 8);
    const char b = char(langCode & 0xff);
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!letter(a) || !letter(b))
        return {};
    return QString(QLatin1Char(a)).append(QLatin1Char(b)).toLower();
}

// The title's VOBs must hold every sector its cells point at: a truncated VOB
// or a truncated image has valid IFOs but cannot be played to the end.
bool titleVobsComplete(dvd_reader_t *dvd, int titleSet, const ifo_handle_t *vts)
{
    const c_adt_t *cells = vts->vts_c_adt;
    if (!cells || !cells->cell_adr_table)
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

QStringList opticalDrives()
{
    QStringList candidates;
    QDir dev(QStringLiteral("/dev"));
    QStringList sr = dev.entryList({QStringLiteral("sr*")}, QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    // sr2 before sr10
    std::sort(sr.begin(), sr.end(), [](const QString &a, const QString &b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    for (const QString &name : sr)
        candidates << dev.filePath(name);
    candidates << QStringLiteral("/dev/dvd") << QStringLiteral("/dev/cdrom");

    QStringList drives;
    for (const QString &candidate : candidates) {
        const QString canonical = QFileInfo(candidate).canonicalFilePath();
        if (!canonical.isEmpty() && isBlockDevice(canonical) && !drives.contains(canonical))
            drives << canonical;
    }
    return drives;
}

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

std::optional<Facts> readFacts(const Source &source, QString *reason)
{
    if (source.path.isEmpty()) {
        setReason(reason, QStringLiteral("no disc was named."));
        return std::nullopt;
    }
    if (!QFileInfo::exists(source.path)) {
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
    }

    DvdPtr dvd(DVDOpen2(nullptr, &kQuietLogger, QFile::encodeName(source.path).constData()));
    if (!dvd) {
        setReason(reason, QStringLiteral("%1 cannot be opened as a DVD.").arg(source.path));
        return std::nullopt;
    }
    IfoPtr vmg(ifoOpen(dvd.get(), 0));
    if (!vmg || !vmg->vmgi_mat) {
        setReason(reason, QStringLiteral("%1 holds no readable DVD-Video disc (no valid VIDEO_TS.IFO).").arg(source.path));
        return std::nullopt;
    }
    const tt_srpt_t *titles = vmg->tt_srpt;
    if (!titles || !titles->title || titles->nr_of_srpts == 0) {
        setReason(reason, QStringLiteral("the disc has no titles."));
        return std::nullopt;
    }

    Facts facts;
    facts.discSide = vmg->vmgi_mat->disc_side == 2 ? 2 : 1;
    const int titleSets = vmg->vmgi_mat->vmg_nr_of_title_sets;
    std::map<int, IfoPtr> sets;
    for (int t = 0; t < titles->nr_of_srpts; ++t) {
        const title_info_t &title = titles->title[t];
        const int setNumber = title.title_set_nr;
        if (setNumber < 1 || setNumber > titleSets) {
            setReason(reason, QStringLiteral("title %1 points to a missing title set.").arg(t + 1));
            return std::nullopt;
        }
        auto found = sets.find(setNumber);
        if (found == sets.end()) {
            IfoPtr vts(ifoOpen(dvd.get(), setNumber));
            if (!vts || !vts->vtsi_mat) {
                setReason(reason, QStringLiteral("title set %1 cannot be read (VTS_%2_0.IFO).")
                                      .arg(setNumber)
                                      .arg(setNumber, 2, 10, QLatin1Char('0')));
                return std::nullopt;
            }
            // A drive holds a pressed or burnt disc, not a file that can be cut
            // short, and reading its far end would spin it up for nothing.
            if (source.kind != SourceKind::Drive && !titleVobsComplete(dvd.get(), setNumber, vts.get())) {
                setReason(reason, QStringLiteral("the video of title set %1 is missing or cut short (VTS_%2_1.VOB).")
                                      .arg(setNumber)
                                      .arg(setNumber, 2, 10, QLatin1Char('0')));
                return std::nullopt;
            }
            found = sets.emplace(setNumber, std::move(vts)).first;
        }
        const vtsi_mat_t *mat = found->second->vtsi_mat;
        TitleFacts tf;
        tf.chapters = title.nr_of_ptts;
        const int subpictures = std::min<int>(mat->nr_of_vts_subp_streams, 32);
        for (int i = 0; i < subpictures; ++i) {
            const subp_attr_t &attr = mat->vts_subp_attr[i];
            tf.subpictureLanguageCodes << (attr.type == 1 ? codeFromAttribute(attr.lang_code) : QString());
        }
        const int audio = std::min<int>(mat->nr_of_vts_audio_streams, 8);
        for (int i = 0; i < audio; ++i) {
            const audio_attr_t &attr = mat->vts_audio_attr[i];
            tf.audioLanguageCodes << (attr.lang_type == 1 ? codeFromAttribute(attr.lang_code) : QString());
        }
        facts.titles.push_back(tf);
    }

    unsigned char id[16] = {};
    if (DVDDiscID(dvd.get(), id) != 0) {
        setReason(reason, QStringLiteral("the disc's identifier cannot be read."));
        return std::nullopt;
    }
    // The identifier is an MD5 digest of the disc's IFO files; half of it (64
    // bits) still tells discs apart and fits the information dialog's label.
    facts.uniqueId = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(id), 8).toHex().toUpper());
    return facts;
}

QString languageName(const QString &code)
{
    const QString trimmed = code.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("Unknown");
    const QLocale::Language language = QLocale::codeToLanguage(
        trimmed.toLower(), QLocale::ISO639Part1 | QLocale::ISO639Part2B | QLocale::ISO639Part2T);
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
        break;
    }
    return std::nullopt;
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
