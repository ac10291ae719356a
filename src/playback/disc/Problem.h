#pragma once
// Why a disc, or one of its titles, cannot be played: a value the disc layer,
// the helper process and the engine pass along, turned into plain words only
// where a person reads it. Any thread.

#include <QString>

namespace playback::disc {

enum class Problem {
    None,
    NoDisc,            // no disc in the drive (or its tray is open)
    NotFound,          // the path does not exist
    PermissionDenied,  // the path may not be read
    NotDvdVideo,       // no VIDEO_TS folder (in an image: no VIDEO_TS.IFO either)
    NavigationDamaged, // the IFO files (and their backups) cannot be read
    NotDvdImage,       // an image without the UDF file system of a DVD
    VideoDamaged,      // a title's video is missing, cut short or not MPEG
    Encrypted,         // CSS-scrambled, and libdvdcss is not installed
    Unreadable,        // the disc could not be read (no answer, a read error while playing)
    NoDrive,           // no disc was named and the machine has no optical drive
    EmptyVideoTs,      // a folder's VIDEO_TS holds nothing
    NoVideoTsIfo,      // a folder's VIDEO_TS holds files, but neither VIDEO_TS.IFO nor its backup
};
inline constexpr Problem kLastProblem = Problem::NoVideoTsIfo;

// One sentence, starting with a capital, ending with a full stop.
QString describe(Problem problem);

} // namespace playback::disc
