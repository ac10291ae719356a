#pragma once
// Where a disc is: a drive, an image file or a VIDEO_TS folder. Finding the
// drives, where a drive's disc is mounted, the path of VIDEO_TS, and opening a drive's tray.
// Plain and synchronous; any thread.

#include "playback/disc/Problem.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace playback::disc {

enum class SourceKind { Drive, Image, Folder };

struct Source {
    SourceKind kind = SourceKind::Folder;
    QString path;   // the device node, the image file, or the folder that holds VIDEO_TS
    QString mrl() const; // what libvlc opens: "dvd://<path>" (percent-encoded as libvlc expects)
};

// Resolves the command-line disc argument: a device node, a DVD image file, a
// folder holding VIDEO_TS or the VIDEO_TS folder itself. Does not check that a
// DVD is there. Returns nullopt for a path that does not exist.
std::optional<Source> sourceFromArgument(const QString &argument);

// Why a path cannot be used, from what the file system says of it: NotFound
// (missing, a symbolic-link loop, too long) or PermissionDenied.
Problem pathProblem(const QString &path);

// The optical drives of this machine (/dev/sr*, /dev/dvd, /dev/cdrom), resolved
// to distinct device nodes, in a stable order.
QStringList opticalDrives();

// What a drive says of its tray: nullopt when the device does not answer (not a
// drive, cannot be opened).
enum class DriveState { Disc, Empty, TrayOpen, NotReady };
std::optional<DriveState> driveState(const QString &device);

bool isBlockDevice(const QString &path);

// What an image or a folder holds now, cheaply told without reading the disc:
// the names, sizes and times of change of its files. It changes when the disc
// does; empty for a path that is not there. For a drive, only its device: the
// drive itself is not asked.
QString discSignature(const Source &source);

// Whether a file name is VIDEO_TS, in any case (libdvdread finds it so).
bool isVideoTsName(const QString &name);
// The folder's VIDEO_TS folder, if it has one.
std::optional<QString> videoTsIn(const QString &folder);

// The path of the disc's VIDEO_TS folder: for a folder source its VIDEO_TS; for
// a drive the mounted file system's VIDEO_TS; for an
// image "<image>/VIDEO_TS", a folder inside the image. nullopt when there is no
// such folder (an unmounted drive).
std::optional<QString> videoDirectory(const Source &source);

// The image whose VIDEO_TS path is videoTs ("<image>/VIDEO_TS"), nullopt for
// any other path.
std::optional<QString> imageOfVideoTs(const QString &videoTs);

namespace detail {
// opticalDrives() over another device folder.
QStringList opticalDrivesIn(const QString &devDir);

// The mount point of device among mounts (device, mount point), in the order
// they were mounted: the last one wins, and a link names its target.
std::optional<QString> mountPointIn(const QList<std::pair<QString, QString>> &mounts, const QString &device);
} // namespace detail

// Opens the drive's tray, through UDisks2 when it knows the drive (it unmounts
// first and needs no root), else by the drive's own ioctl. nullopt when it
// opened; otherwise why not, in plain words ("the drive is busy.").
std::optional<QString> ejectDrive(const QString &device);

} // namespace playback::disc
