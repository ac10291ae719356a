#include "playback/disc/TitleLayout.h"

#include <map>

namespace playback::disc {

namespace {

int bcd(std::uint8_t v) { return (v >> 4) * 10 + (v & 0x0f); }

} // namespace

std::int64_t durationMs(const dvd_time_t &t)
{
    const int fps = (t.frame_u >> 6) == 1 ? 25 : 30;
    return ((std::int64_t(bcd(t.hour)) * 60 + bcd(t.minute)) * 60 + bcd(t.second)) * 1000
           + bcd(t.frame_u & 0x3f) * 1000 / fps;
}

std::int64_t TitleLayout::chapterStartMs(int chapter) const
{
    if (chapter < 0 || std::size_t(chapter) >= chapterCells.size() || !chapterCells[std::size_t(chapter)])
        return 0;
    return cells[*chapterCells[std::size_t(chapter)]].startMs;
}

const pgc_t *firstProgramChain(const ifo_handle_t &vts, int vtsTitle)
{
    if (!vts.vtsi_mat || !vts.vts_ptt_srpt || !vts.vts_pgcit || vtsTitle < 1 || vtsTitle > vts.vts_ptt_srpt->nr_of_srpts)
        return nullptr;
    const ttu_t &ttu = vts.vts_ptt_srpt->title[vtsTitle - 1];
    if (ttu.nr_of_ptts < 1 || !ttu.ptt)
        return nullptr;
    const int pgcn = ttu.ptt[0].pgcn;
    if (pgcn < 1 || pgcn > vts.vts_pgcit->nr_of_pgci_srp)
        return nullptr;
    return vts.vts_pgcit->pgci_srp[pgcn - 1].pgc;
}

std::optional<TitleLayout> titleLayout(const ifo_handle_t &vts, int vtsTitle)
{
    const pgc_t *pgc = firstProgramChain(vts, vtsTitle);
    if (!pgc)
        return std::nullopt;
    const ttu_t &ttu = vts.vts_ptt_srpt->title[vtsTitle - 1];
    const int pgcn = ttu.ptt[0].pgcn, pgn = ttu.ptt[0].pgn;
    if (!pgc->cell_playback || !pgc->program_map || pgn < 1 || pgn > pgc->nr_of_programs)
        return std::nullopt;
    // Chapters of this program chain, by the cell their program starts with.
    std::map<int, std::size_t> chapterOfCell;
    for (int p = 0; p < ttu.nr_of_ptts; ++p)
        if (ttu.ptt[p].pgcn == pgcn && ttu.ptt[p].pgn >= 1 && ttu.ptt[p].pgn <= pgc->nr_of_programs)
            chapterOfCell.emplace(pgc->program_map[ttu.ptt[p].pgn - 1] - 1, std::size_t(p));
    TitleLayout layout;
    layout.chapterCells.resize(std::size_t(ttu.nr_of_ptts));
    for (int c = pgc->program_map[pgn - 1] - 1; c >= 0 && c < pgc->nr_of_cells; ++c) {
        const cell_playback_t &playback = pgc->cell_playback[c];
        if (playback.block_type == BLOCK_TYPE_ANGLE_BLOCK && playback.block_mode != BLOCK_MODE_FIRST_CELL)
            continue;
        if (playback.last_sector < playback.first_sector)
            return std::nullopt;
        if (const auto chapter = chapterOfCell.find(c); chapter != chapterOfCell.end())
            layout.chapterCells[chapter->second] = layout.cells.size();
        layout.cells.push_back({playback.first_sector, playback.last_sector, layout.lengthMs, playback.still_time});
        layout.lengthMs += durationMs(playback.playback_time);
    }
    if (layout.cells.empty())
        return std::nullopt;
    return layout;
}

} // namespace playback::disc
