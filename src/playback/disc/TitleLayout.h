#pragma once
// How a title plays, from its title set's IFO: the cells of its first program
// chain in order (of an angle block, the first angle's), when each starts, and
// the cell each chapter starts with. Any thread (libdvdread's handles on one
// thread at a time).

#include <dvdread/ifo_types.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace playback::disc {

struct TitleLayout {
    struct Cell {
        std::uint32_t firstSector = 0, lastSector = 0;
        std::int64_t startMs = 0; // from the title's start
        int stillSeconds = 0;     // its last picture is held this long after it; 255: until the viewer moves on
    };
    std::vector<Cell> cells;
    // By chapter (0-based): its first cell in cells; nullopt for a chapter in
    // another program chain.
    std::vector<std::optional<std::size_t>> chapterCells;
    std::int64_t lengthMs = 0;

    // Where chapter (0-based) starts, ms from the title's start; 0 when not in cells.
    std::int64_t chapterStartMs(int chapter) const;
    // Where cell (an index into cells) ends, ms from the title's start.
    std::int64_t cellEndMs(std::size_t cell) const
    {
        return cell + 1 < cells.size() ? cells[cell + 1].startMs : lengthMs;
    }
};

// vtsTitle: the title's number in its title set (title_info_t::vts_ttn). nullopt
// when the IFO does not describe it or a cell is malformed.
std::optional<TitleLayout> titleLayout(const ifo_handle_t &vts, int vtsTitle);

// The program chain the title starts with, or null when the IFO does not say.
const pgc_t *firstProgramChain(const ifo_handle_t &vts, int vtsTitle);

// A title set whose pictures are shown at 16:9 (else 4:3).
inline bool isWide(const video_attr_t &attributes) { return attributes.display_aspect_ratio == 3; }

// An IFO's playback time (BCD hours, minutes, seconds and frames) in milliseconds.
std::int64_t durationMs(const dvd_time_t &time);

} // namespace playback::disc
