#pragma once
// Finding the disc and reading its facts: which source to play (a drive, an
// image file or a VIDEO_TS folder), whether it holds a playable DVD, and what
// libdvdread says about it. Everything here is synchronous and fast (no
// decoding), so the playback component can fail a call at once.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

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

// The optical drives of this machine (/dev/sr*, /dev/dvd, /dev/cdrom), resolved
// to distinct device nodes, in a stable order.
QStringList opticalDrives();

// The first drive that holds a playable DVD, if any.
std::optional<Source> findDiscInDrives();

struct TitleFacts {
    int chapters = 0;
    QStringList subpictureLanguageCodes; // ISO 639 codes per stream, "" when the stream has none
    // Per subtitle stream, the sub-stream (0..31) that shows it in our window;
    // -1 when the title's program chain does not offer it.
    std::vector<int> subpictureStreamIds;
    QStringList audioLanguageCodes;
};

struct Facts {
    std::vector<TitleFacts> titles; // titles[0] is title 1
    QString uniqueId;               // 16 upper-case hex digits
    int discSide = 1;               // 1 or 2
    // An image's VIDEO_TS, as read from the image's own file system (empty for a
    // folder or a drive, which the file system lists).
    QStringList videoTsFiles;
};

// Reads the disc's facts with libdvdread (quietly). nullopt when the source
// holds no playable DVD: no VIDEO_TS.IFO, an unreadable or corrupt IFO, a
// non-UDF image, a missing path. reason, when given, gets a plain sentence.
std::optional<Facts> readFacts(const Source &source, QString *reason = nullptr);

// The English name of an ISO 639-1/639-2 language code ("en" -> "English"),
// the code itself when it is unknown, "Unknown" for an empty code.
QString languageName(const QString &code);

// The path of the disc's VIDEO_TS folder: for a folder source its VIDEO_TS; for
// a drive the mounted file system's VIDEO_TS (from the mount table); for an
// image "<image>/VIDEO_TS", a folder inside the image (see imageVideoTs). nullopt
// when there is no such folder (an unmounted drive).
std::optional<QString> videoDirectory(const Source &source);

// The image whose VIDEO_TS path is videoTs ("<image>/VIDEO_TS"), nullopt for
// any other path.
std::optional<QString> imageOfVideoTs(const QString &videoTs);

namespace detail {
// opticalDrives() over another device folder.
QStringList opticalDrivesIn(const QString &devDir);

// The mount point of device in a mount table written like /proc/self/mounts
// (octal escapes such as \040 for a space); the last mount wins.
std::optional<QString> mountPointIn(const QByteArray &mountTable, const QString &device);
} // namespace detail

// Opens the drive's tray. Throws playback::PlaybackError("Eject", reason) with a
// plain reason when the device cannot be opened or the tray cannot be opened.
void ejectDrive(const QString &device);

} // namespace playback::disc
