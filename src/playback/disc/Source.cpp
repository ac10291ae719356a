#include "playback/disc/Source.h"

#include "playback/disc/UDisks.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace playback::disc {

namespace {

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

QString canonicalOrSelf(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
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

QString signatureOf(const QFileInfoList &files)
{
    QString signature;
    for (const QFileInfo &file : files) {
        signature += file.fileName() + QLatin1Char(' ') + QString::number(file.size()) + QLatin1Char(' ')
                     + QString::number(file.lastModified().toMSecsSinceEpoch()) + QLatin1Char('\n');
    }
    return signature;
}

// The kernel's mount table, as (device, mount point), in mount order. Read from
// /proc rather than asked of each file system: a busy one (a network share, a
// drive reading a scratch) would hold up the asking.
QList<std::pair<QString, QString>> mountTable()
{
    // Blanks and backslashes in the fields are written as octal escapes ("\040").
    const auto unescape = [](const QByteArray &field) {
        QByteArray out;
        for (qsizetype i = 0; i < field.size(); ++i) {
            if (field[i] == '\\' && i + 3 < field.size()) {
                bool ok = false;
                const int code = field.mid(i + 1, 3).toInt(&ok, 8);
                if (ok) {
                    out += char(code);
                    i += 3;
                    continue;
                }
            }
            out += field[i];
        }
        return QFile::decodeName(out);
    };
    QList<std::pair<QString, QString>> mounts;
    QFile table(QStringLiteral("/proc/self/mounts"));
    if (!table.open(QIODevice::ReadOnly))
        return mounts;
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() >= 2)
            mounts.append({unescape(fields[0]), unescape(fields[1])});
    }
    return mounts;
}

} // namespace

bool isVideoTsName(const QString &name) { return name.compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0; }

std::optional<QString> videoTsIn(const QString &folder)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo &entry : entries) {
        if (isVideoTsName(entry.fileName()))
            return entry.absoluteFilePath();
    }
    return std::nullopt;
}

bool isBlockDevice(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISBLK(st.st_mode);
}

std::optional<DriveState> driveState(const QString &device)
{
    Fd fd(::open(QFile::encodeName(device).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return std::nullopt;
    const int status = ::ioctl(fd.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
    switch (status) {
    case CDS_DISC_OK: return DriveState::Disc;
    case CDS_TRAY_OPEN: return DriveState::TrayOpen;
    case CDS_DRIVE_NOT_READY: return DriveState::NotReady;
    default: // no disc, or a drive that cannot tell; an error: not a drive
        return status >= 0 ? std::optional(DriveState::Empty) : std::nullopt;
    }
}

QString discSignature(const Source &source)
{
    switch (source.kind) {
    case SourceKind::Image: {
        const QFileInfo image(source.path);
        return image.isFile() ? signatureOf({image}) : QString();
    }
    case SourceKind::Folder: {
        const std::optional<QString> videoTs = videoDirectory(source);
        if (!videoTs)
            return {};
        return signatureOf(QDir(*videoTs).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name));
    }
    case SourceKind::Drive:
        // Asking the drive would wait behind the read it is busy with (seconds, on
        // a scratch): its disc changes are told by the desktop instead.
        return source.path;
    }
    return {};
}

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
        if (isVideoTsName(targetInfo.fileName()))
            return Source{SourceKind::Folder, QFileInfo(absolute).absolutePath()};
        return Source{SourceKind::Folder, absolute};
    }
    // A file inside VIDEO_TS (VIDEO_TS.IFO, say) stands for its disc folder.
    const QFileInfo parent(targetInfo.absolutePath());
    static const QStringList discFiles = {QStringLiteral("ifo"), QStringLiteral("bup"), QStringLiteral("vob")};
    if (isVideoTsName(parent.fileName()) && discFiles.contains(targetInfo.suffix().toLower()))
        return Source{SourceKind::Folder, parent.absolutePath()};
    return Source{SourceKind::Image, absolute};
}

Problem pathProblem(const QString &path)
{
    struct stat st{};
    if (path.isEmpty())
        return Problem::NotFound;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == EACCES ? Problem::PermissionDenied : Problem::NotFound;
    return Problem::None;
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

namespace detail {

std::optional<QString> mountPointIn(const QList<std::pair<QString, QString>> &mounts, const QString &device)
{
    const QString wanted = canonicalOrSelf(device);
    std::optional<QString> mountPoint;
    for (const auto &[mounted, root] : mounts) {
        // The last match wins: a later mount hides an earlier one.
        if (mounted.startsWith(QLatin1Char('/')) && canonicalOrSelf(mounted) == wanted)
            mountPoint = root;
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
        if (folder.isDir() && isVideoTsName(folder.fileName()))
            return QDir::cleanPath(folder.absoluteFilePath());
        return videoTsIn(source.path);
    }
    case SourceKind::Drive: {
        const std::optional<QString> mountPoint = detail::mountPointIn(mountTable(), source.path);
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

std::optional<QString> ejectDrive(const QString &device)
{
    if (const UDisksEject desktop = ejectThroughUDisks(device); desktop.reached)
        return desktop.refused;
    const QString name = device.isEmpty() ? QStringLiteral("(none)") : device;
    Fd fd(::open(QFile::encodeName(device).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return ejectReason(errno, name);
    // A player or the kernel may have locked the door while a disc plays.
    if (::ioctl(fd.get(), CDROM_LOCKDOOR, 0) != 0 && (errno == ENOTTY || errno == EINVAL))
        return ejectReason(errno, name);
    if (::ioctl(fd.get(), CDROMEJECT, 0) != 0)
        return ejectReason(errno, name);
    return std::nullopt;
}

} // namespace playback::disc
