#include "playback/disc/Source.h"

#include "playback/disc/UDisks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
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
        QList<std::pair<QString, QString>> mounts;
        for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
            mounts.append({QFile::decodeName(volume.device()), volume.rootPath()});
        const std::optional<QString> mountPoint = detail::mountPointIn(mounts, source.path);
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
