#include "playback/engine/TitleStills.h"

#include "playback/engine/TitleStillsImpl.h"

#include "playback/disc/DvdRead.h"
#include "playback/disc/Mpeg.h"
#include "playback/disc/Source.h"
#include "playback/disc/TitleLayout.h"

#include <QFile>

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/nav_read.h>

#include <dvdread/dvd_udf.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <cstring>

namespace playback::engine {

namespace {

constexpr std::uint32_t kMaxVobuSectors = 8192; // a VOBU is at most a second of video: anything longer is garbage
// A mux lead longer than this is a damaged navigation pack.
constexpr std::int64_t kMostMuxLeadMs = 2000;

} // namespace

TitleStills::TitleStills(const QString &discPath, int title) : d(std::make_unique<Impl>()), m_title(title)
{
    // The disc has been read in a helper process before anything plays (see
    // disc/FactsHelper.h), so its IFOs are known not to upset libdvdread.
    d->dvd = disc::openDvd(QFile::encodeName(discPath).constData()).release();
    d->drive = disc::isBlockDevice(discPath);
    if (!d->dvd || !(d->vmg = ifoOpen(d->dvd, 0)) || !d->vmg->tt_srpt || title < 1
        || title > d->vmg->tt_srpt->nr_of_srpts)
        return;
    const title_info_t &info = d->vmg->tt_srpt->title[title - 1];
    d->vts = ifoOpen(d->dvd, info.title_set_nr);
    const std::optional<disc::TitleLayout> layout = d->vts ? disc::titleLayout(*d->vts, info.vts_ttn) : std::nullopt;
    if (!layout)
        return;
    d->vobs = DVDOpenFile(d->dvd, info.title_set_nr, DVD_READ_TITLE_VOBS);
    if (!d->vobs)
        return;
    if (d->drive) {
        char name[32];
        std::snprintf(name, sizeof name, "/VIDEO_TS/VTS_%02d_1.VOB", int(info.title_set_nr));
        std::uint32_t size = 0;
        d->vobsSector = UDFFindFile(d->dvd, name, &size);
        if (d->vobsSector)
            d->direct = ::open(QFile::encodeName(discPath).constData(), O_RDONLY | O_DIRECT | O_CLOEXEC);
    }
    m_ptsPerFrame = disc::mpeg::ticksPerFrame(d->vts->vtsi_mat->vts_video_attr.video_format == 1);
    m_aspect = disc::isWide(d->vts->vtsi_mat->vts_video_attr) ? 16.0 / 9.0 : 4.0 / 3.0;

    const vobu_admap_t *admap = d->vts->vts_vobu_admap;
    const std::uint32_t *mapBegin = admap ? admap->vobu_start_sectors : nullptr;
    const std::uint32_t *mapEnd =
        mapBegin && admap->last_byte + 1 > VOBU_ADMAP_SIZE ? mapBegin + (admap->last_byte + 1 - VOBU_ADMAP_SIZE) / 4
                                                           : mapBegin;
    m_chapterCells = layout->chapterCells;
    for (const disc::TitleLayout::Cell &played : layout->cells) {
        Cell cell;
        cell.firstSector = played.firstSector;
        cell.lastSector = played.lastSector;
        cell.startMs = played.startMs;
        if (mapBegin) {
            auto from = std::lower_bound(mapBegin, mapEnd, cell.firstSector);
            auto to = std::upper_bound(from, mapEnd, cell.lastSector);
            cell.vobus.assign(from, to);
        }
        if (cell.vobus.empty() || cell.vobus.front() != cell.firstSector) {
            // No address map: walk the cell from navigation pack to navigation pack.
            cell.vobus.clear();
            for (std::uint32_t s = cell.firstSector; s <= cell.lastSector;) {
                cell.vobus.push_back(s);
                const auto nav = readNav(s);
                if (!nav)
                    break;
                s = nav->endSector + 1;
            }
        }
        cell.vobuPtm.resize(cell.vobus.size());
        m_cells.push_back(std::move(cell));
    }
    if (m_cells.empty())
        return;

    // The decoder is opened when the first picture is asked for.
    m_valid = avcodec_find_decoder(AVCodecID(codecId())) != nullptr;
}

TitleStills::~TitleStills() = default;

bool TitleStills::isValid() const { return m_valid; }

void TitleStills::release()
{
    // A decoded VOBU is some 15 pictures of 600 KB, and the decoder holds as many again.
    std::map<std::int64_t, Decoded>().swap(m_pictures);
    m_cachedCell = m_cachedVobu = ~std::size_t(0);
    avcodec_free_context(&d->codec);
}

std::optional<TitleStills::Nav> TitleStills::readNav(std::uint32_t sector)
{
    alignas(4096) unsigned char block[DVD_VIDEO_LB_LEN];
    if (d->unreadable.count(sector))
        return std::nullopt;
    const bool read = d->direct >= 0 ? ::pread(d->direct, block, sizeof block, off_t(d->vobsSector + sector) * DVD_VIDEO_LB_LEN) == DVD_VIDEO_LB_LEN
                                     : DVDReadBlocks(d->vobs, int(sector), 1, block) == 1;
    if (!read) {
        d->unreadable.insert(sector);
        return std::nullopt;
    }
    // A navigation pack: pack header, system header, then the PCI and DSI packets
    // (private stream 2) at fixed places.
    static const unsigned char kPrivate2[] = {0x00, 0x00, 0x01, 0xbf};
    if (std::memcmp(block + 0x26, kPrivate2, 4) != 0 || block[0x2c] != 0x00
        || std::memcmp(block + 0x400, kPrivate2, 4) != 0 || block[0x406] != 0x01)
        return std::nullopt;
    pci_t pci;
    dsi_t dsi;
    navRead_PCI(&pci, block + 0x2d);
    navRead_DSI(&dsi, block + DSI_START_BYTE);
    if (dsi.dsi_gi.vobu_ea > kMaxVobuSectors)
        return std::nullopt;
    // The pack header's system clock reference (its base, in the 90 kHz ticks), MPEG-2 layout.
    const unsigned char *h = block + 4;
    const std::int64_t scr = (std::int64_t((h[0] >> 3) & 0x07) << 30) | (std::int64_t(h[0] & 0x03) << 28)
                             | (std::int64_t(h[1]) << 20) | (std::int64_t((h[2] >> 3) & 0x1f) << 15)
                             | (std::int64_t(h[2] & 0x03) << 13) | (std::int64_t(h[3]) << 5) | (h[4] >> 3);
    return Nav{pci.pci_gi.vobu_s_ptm, sector + dsi.dsi_gi.vobu_ea, scr};
}

std::optional<std::uint32_t> TitleStills::vobuPtm(Cell &cell, std::size_t vobu)
{
    if (!cell.vobuPtm[vobu]) {
        if (const auto nav = readNav(cell.vobus[vobu]))
            cell.vobuPtm[vobu] = nav->startPtm;
    }
    return cell.vobuPtm[vobu];
}

bool TitleStills::locate(std::int64_t ms, std::size_t *cellIndex, std::size_t *vobuIndex)
{
    std::size_t c = 0;
    while (c + 1 < m_cells.size() && m_cells[c + 1].startMs <= ms)
        ++c;
    Cell &cell = m_cells[c];
    const auto base = vobuPtm(cell, 0);
    if (!base)
        return false;
    // The last VOBU that starts at or before ms: presentation times rise through a
    // cell. One that cannot be read counts as later, which errs early.
    const std::int64_t wanted = std::max<std::int64_t>(0, ms - cell.startMs) * disc::mpeg::kTicksPerMs + *base;
    std::size_t lo = 0, hi = cell.vobus.size(); // answer in [lo, hi)
    while (hi - lo > 1) {
        const std::size_t mid = (lo + hi) / 2;
        const auto ptm = vobuPtm(cell, mid);
        if (ptm && std::int64_t(*ptm) <= wanted)
            lo = mid;
        else
            hi = mid;
    }
    *cellIndex = c;
    *vobuIndex = lo;
    return true;
}

std::optional<std::int64_t> TitleStills::vobuStartMs(std::size_t c, std::size_t v)
{
    const auto ptm = vobuPtm(m_cells[c], v);
    if (!ptm)
        return std::nullopt;
    // From its cell's start; when that cannot be read (damage across the cells'
    // border), from an earlier cell's, the title's times running on through its cells.
    for (std::size_t from = c + 1; from-- > 0;) {
        if (const auto base = vobuPtm(m_cells[from], 0))
            return m_cells[from].startMs + (std::int64_t(*ptm) - std::int64_t(*base)) / disc::mpeg::kTicksPerMs;
    }
    return std::nullopt;
}

std::optional<std::int64_t> TitleStills::firstReadableAfter(std::int64_t ms)
{
    std::size_t c = 0, v = 0;
    if (!isValid() || !locate(ms, &c, &v))
        return std::nullopt;
    // The title's VOBUs from the one that holds ms on, as (cell, VOBU).
    std::vector<std::pair<std::size_t, std::size_t>> ahead;
    for (std::size_t cell = c; cell < m_cells.size(); ++cell)
        for (std::size_t vobu = cell == c ? v : 0; vobu < m_cells[cell].vobus.size(); ++vobu)
            ahead.emplace_back(cell, vobu);
    const auto readable = [&](std::size_t i) { return readNav(m_cells[ahead[i].first].vobus[ahead[i].second]).has_value(); };
    // The damage: the first VOBU that does not read, not far ahead (libvlc's clock
    // is behind its reading by its buffer). None there: the stretch reads now.
    constexpr std::size_t kLookAhead = 16;
    std::size_t bad = 1;
    while (bad < ahead.size() && bad <= kLookAhead && readable(bad))
        ++bad;
    if (bad >= ahead.size())
        return std::nullopt;
    if (bad > kLookAhead)
        return vobuStartMs(ahead[1].first, ahead[1].second);
    // Out of it in doubling steps, then back to the first VOBU that reads.
    std::size_t step = 1, good = bad + 1;
    for (;;) {
        if (good >= ahead.size())
            return std::nullopt;
        if (readable(good))
            break;
        bad = good;
        step *= 2;
        good = good + 1 == ahead.size() ? ahead.size() : std::min(ahead.size() - 1, bad + step);
    }
    while (good - bad > 1) {
        const std::size_t mid = (bad + good) / 2;
        (readable(mid) ? good : bad) = mid;
    }
    return vobuStartMs(ahead[good].first, ahead[good].second);
}

std::optional<Still> TitleStills::pictureAt(std::int64_t ms)
{
    if (!isValid())
        return std::nullopt;
    std::size_t c = 0, v = 0;
    if (!locate(ms, &c, &v))
        return std::nullopt;
    if (!decodeCached(c, v))
        return std::nullopt;
    auto it = m_pictures.upper_bound(ms);
    if (it != m_pictures.begin())
        --it;
    return still(it);
}

std::optional<Still> TitleStills::chapterStart(int chapter)
{
    if (!isValid() || chapter < 0 || std::size_t(chapter) >= m_chapterCells.size() || !m_chapterCells[chapter])
        return std::nullopt;
    // A jump starts at the cell's first VOBU: its first picture on screen is the
    // first one the decoder gives (in the order they are shown), which is all that is kept.
    std::map<std::int64_t, Decoded> first;
    if (!decodeVobu(*m_chapterCells[std::size_t(chapter)], 0, false, &first, true) || first.empty())
        return std::nullopt;
    return still(first.begin());
}

bool TitleStills::decodeCached(std::size_t c, std::size_t v)
{
    if (c != m_cachedCell || v != m_cachedVobu) {
        m_pictures.clear();
        m_cachedCell = c;
        m_cachedVobu = v;
        if (!decodeVobu(c, v, true, &m_pictures)) {
            m_pictures.clear();
            return false;
        }
    }
    return !m_pictures.empty();
}

Still TitleStills::still(std::map<std::int64_t, Decoded>::const_iterator picture) const
{
    const Decoded &p = picture->second;
    const std::size_t luma = std::size_t(p.width) * p.height;
    return Still{i420ToImage(p.planes.data(), p.planes.data() + luma, p.planes.data() + luma + luma / 4, p.width,
                             p.height, p.width, p.width / 2),
                 picture->first, lumaSampleHash(p.planes.data(), unsigned(p.width), unsigned(p.height), std::size_t(p.width))};
}

std::optional<std::int64_t> TitleStills::muxLeadMs()
{
    // A few VOBUs spread over the title; the first ones are skipped, a multiplexer
    // starts with a shorter lead. On a drive, VOBUs next to each other near the
    // start, which the drive has read for libvlc anyway: a seek each would hold
    // the head that libvlc needs.
    std::vector<std::int64_t> leads;
    for (Cell &cell : m_cells) {
        const std::size_t n = cell.vobus.size();
        const std::size_t step = d->drive ? 1 : std::max<std::size_t>(1, n / 8);
        for (std::size_t v = std::min<std::size_t>(2, n - 1); v < n && leads.size() < (d->drive ? 6u : 16u); v += step) {
            const auto nav = readNav(cell.vobus[v]);
            if (nav && nav->startPtm > nav->scr && nav->startPtm - nav->scr < kMostMuxLeadMs * disc::mpeg::kTicksPerMs)
                leads.push_back((std::int64_t(nav->startPtm) - nav->scr) / disc::mpeg::kTicksPerMs);
        }
    }
    if (leads.empty())
        return std::nullopt;
    std::nth_element(leads.begin(), leads.begin() + std::ptrdiff_t(leads.size() / 2), leads.end());
    return leads[leads.size() / 2];
}

std::optional<double> TitleStills::picturePeriodMs()
{
    // Over an even number of pictures: with 3:2 pulldown they alternate between
    // three fields and two.
    for (std::size_t c = 0; c < m_cells.size(); ++c) {
        std::map<std::int64_t, Decoded> pictures;
        if (m_cells[c].vobus.empty()
            || !decodeVobu(c, std::min<std::size_t>(1, m_cells[c].vobus.size() - 1), true, &pictures, false, Keep::Times)
            || pictures.size() < 5)
            continue;
        const std::size_t intervals = (pictures.size() - 1) & ~std::size_t(1);
        const double measured =
            double(std::next(pictures.begin(), std::ptrdiff_t(intervals))->first - pictures.begin()->first)
            / double(intervals);
        // The times are whole milliseconds: a DVD's own rate, when it is that.
        for (const double period : {1000.0 / 25, 1001.0 / 24, 1001.0 / 30})
            if (std::abs(measured - period) < period * 0.01)
                return period;
        return measured;
    }
    return std::nullopt;
}

KnownPictures TitleStills::keyPicturesAfter(std::int64_t ms, int count)
{
    KnownPictures keys;
    std::size_t c = 0, v = 0;
    if (!isValid() || !locate(ms, &c, &v))
        return keys;
    while (int(keys.size()) < count) {
        if (++v >= m_cells[c].vobus.size()) {
            if (++c >= m_cells.size())
                break;
            v = 0;
        }
        std::map<std::int64_t, Decoded> pictures;
        if (!decodeVobu(c, v, false, &pictures, false, Keep::IntraPixels))
            break;
        for (const auto &[at, picture] : pictures) {
            if (picture.intra) {
                keys.emplace_back(lumaSampleHash(picture.planes.data(), unsigned(picture.width),
                                                 unsigned(picture.height), std::size_t(picture.width)),
                                  at);
                break;
            }
        }
    }
    return keys;
}

} // namespace playback::engine
