#include "playback/disc/Problem.h"

namespace playback::disc {

QString describe(Problem problem)
{
    switch (problem) {
    case Problem::None:
        break;
    case Problem::NoDisc:
        return QStringLiteral("There is no disc in the drive.");
    case Problem::NotFound:
        return QStringLiteral("The disc's path does not exist.");
    case Problem::PermissionDenied:
        return QStringLiteral("Permission to read the disc was denied.");
    case Problem::NotDvdVideo:
        return QStringLiteral("This is not a DVD-Video disc: it has no VIDEO_TS.");
    case Problem::NavigationDamaged:
        return QStringLiteral("The disc's navigation files (IFO) are damaged.");
    case Problem::NotDvdImage:
        return QStringLiteral("The image is not a DVD image: it has no UDF file system.");
    case Problem::VideoDamaged:
        return QStringLiteral("The title's video is missing or damaged.");
    case Problem::Encrypted:
        return QStringLiteral("The disc is encrypted (CSS) and libdvdcss is not installed.");
    case Problem::Unreadable:
        return QStringLiteral("The disc cannot be read.");
    case Problem::NoDrive:
        return QStringLiteral("No DVD drive was found.");
    case Problem::EmptyVideoTs:
        return QStringLiteral("This is not a DVD-Video disc: its VIDEO_TS folder is empty.");
    case Problem::NoVideoTsIfo:
        return QStringLiteral("This is not a DVD-Video disc: its VIDEO_TS folder has no VIDEO_TS.IFO.");
    }
    return QString();
}

} // namespace playback::disc
