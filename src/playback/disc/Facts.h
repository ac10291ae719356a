#pragma once
// What the disc is: whether a source holds a playable DVD, and its titles,
// chapters, streams and identity, as libdvdread reads them from the IFO files.
// The reading runs in a helper process (see FactsHelper.h): libdvdread trusts the
// IFOs, and some damaged ones make it crash or hang. Any thread; blocks for the
// reading (tens of milliseconds, seconds for a drive spinning up).

#include "playback/disc/Source.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace playback::disc {

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
    QString volumeName;             // the volume label; a folder's name for a VIDEO_TS folder
    // An image's VIDEO_TS, as read from the image's own file system (empty for a
    // folder or a drive, which the file system lists).
    QStringList videoTsFiles;
};

// The facts of the disc at source; nullopt when it holds no playable DVD (no
// VIDEO_TS.IFO, an unreadable or corrupt IFO, a title's video missing or cut
// short, a non-UDF image, a missing path, a reading that crashed or hung).
// reason, when given, gets a plain sentence.
std::optional<Facts> readFacts(const Source &source, QString *reason = nullptr);

// The first drive that holds a playable DVD, if any.
std::optional<Source> findDiscInDrives();

} // namespace playback::disc
