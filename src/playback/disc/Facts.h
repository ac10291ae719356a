#pragma once
// What the disc is: whether a source holds a playable DVD, and its titles,
// chapters, streams and identity, as libdvdread reads them from the IFO files.
// The reading runs in a helper process (see FactsHelper.h): libdvdread trusts the
// IFOs, and some damaged ones make it crash or hang. Any thread; blocks for the
// reading (tens of milliseconds, seconds for a drive spinning up).

#include "playback/disc/Problem.h"
#include "playback/disc/Source.h"

#include <QString>
#include <QStringList>

#include <cstdint>
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
    // Why the title cannot be played (its IFO or its video is damaged); None when it can.
    Problem problem = Problem::None;
    // The title's program chain's playback time, through all its cells (stills
    // not counted), and where each chapter starts in it; 0 and empty when the
    // IFO does not say.
    std::int64_t lengthMs = 0;
    std::vector<std::int64_t> chapterStartsMs;
    // The cells that end with their last picture held (a still), in order: where
    // the cell starts and ends in the title and for how long its last picture is
    // held, in seconds (kEndlessStill: until the viewer moves on).
    struct Still {
        std::int64_t startMs = 0, endMs = 0;
        int seconds = 0;
        bool operator==(const Still &) const = default;
    };
    static constexpr int kEndlessStill = 255;
    std::vector<Still> stills;
    // Frames a second of its time codes: 30 on an NTSC disc, 25 on a PAL one.
    int framesPerSecond = 25;
};

struct Facts {
    std::vector<TitleFacts> titles; // titles[0] is title 1
    QString uniqueId;               // 16 upper-case hex digits
    int discSide = 1;               // 1 or 2
    QString volumeName;             // the volume label; a folder's name for a VIDEO_TS folder
    // An image's VIDEO_TS, as read from the image's own file system (empty for a
    // folder or a drive, which the file system lists).
    QStringList videoTsFiles;

    // The first title that can be played (1-based); 0 when none can.
    int firstPlayableTitle() const
    {
        for (std::size_t i = 0; i < titles.size(); ++i)
            if (titles[i].problem == Problem::None)
                return int(i) + 1;
        return 0;
    }
};

// The facts of the disc at source; nullopt when they cannot be read (no
// VIDEO_TS.IFO, damaged IFOs, a non-UDF image, a missing path, a reading that
// crashed or hung). Titles that cannot be played (damaged or missing video,
// scrambled) say so in their facts. problem, when given, says why the disc
// cannot be played: why nothing was read, or why its first title cannot be
// played when none can; None when a title can.
std::optional<Facts> readFacts(const Source &source, Problem *problem = nullptr);

// The first drive that holds a playable DVD, if any, with its facts in facts
// when given; otherwise problem, when given, says what is wrong with the first
// drive that holds a disc (NoDisc when none does, NoDrive when the machine has
// no optical drive).
std::optional<Source> findDiscInDrives(Problem *problem = nullptr, Facts *facts = nullptr);

} // namespace playback::disc
