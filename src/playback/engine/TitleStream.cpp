#include "playback/engine/TitleStream.h"

#include "playback/disc/DvdRead.h"
#include "playback/disc/Mpeg.h"

#include <QFile>

#include <vlc/vlc.h>

#include <algorithm>
#include <cstring>

namespace playback::engine {

namespace {

using disc::mpeg::kSector;
constexpr std::uint32_t kReadSectors = 32;

} // namespace

// One reading of the stream (libvlc opens it once per play): the disc's handles,
// where libvlc reads, and the last sectors read.
struct TitleStream::Reader {
    TitleStream *stream = nullptr;
    disc::DvdPtr dvd;
    disc::FilePtr vobs;
    std::uint64_t offset = 0;
    std::uint64_t firstSector = 0; // of what buffer holds, in the stream
    std::vector<unsigned char> buffer;
};

std::shared_ptr<TitleStream> TitleStream::open(const QString &discPath, int title)
{
    const QByteArray path = QFile::encodeName(discPath);
    // The disc's IFOs have been read in the helper process before anything plays
    // (see disc/FactsHelper.h): this title's are known to be readable.
    disc::DvdPtr dvd = disc::openDvd(path.constData());
    disc::IfoPtr vmg(dvd ? ifoOpen(dvd.get(), 0) : nullptr);
    if (!vmg || !vmg->tt_srpt || title < 1 || title > vmg->tt_srpt->nr_of_srpts)
        return nullptr;
    const title_info_t &info = vmg->tt_srpt->title[title - 1];
    disc::IfoPtr vts(ifoOpen(dvd.get(), info.title_set_nr));
    std::optional<disc::TitleLayout> layout = vts ? disc::titleLayout(*vts, info.vts_ttn) : std::nullopt;
    if (!layout)
        return nullptr;
    std::shared_ptr<TitleStream> stream(new TitleStream);
    stream->m_path = path;
    stream->m_title = title;
    stream->m_titleSet = info.title_set_nr;
    stream->m_layout = std::move(*layout);
    for (const disc::TitleLayout::Cell &cell : stream->m_layout.cells) {
        stream->m_cellSectors.push_back(stream->m_sectors);
        stream->m_sectors += cell.lastSector - cell.firstSector + 1;
    }
    return stream;
}

libvlc_media_t *TitleStream::newMedia(libvlc_instance_t *instance)
{
    libvlc_media_t *media = libvlc_media_new_callbacks(instance, &TitleStream::openReader, &TitleStream::readFrom,
                                                       &TitleStream::seekTo, &TitleStream::closeReader, this);
    if (media)
        libvlc_media_add_option(media, ":demux=ps");
    return media;
}

double TitleStream::positionAt(std::int64_t ms) const
{
    const std::vector<disc::TitleLayout::Cell> &cells = m_layout.cells;
    std::size_t cell = 0;
    while (cell + 1 < cells.size() && cells[cell + 1].startMs <= ms)
        ++cell;
    const std::uint64_t sectors = cells[cell].lastSector - cells[cell].firstSector + 1;
    const std::int64_t cellMs = m_layout.cellEndMs(cell) - cells[cell].startMs;
    const double into = cellMs > 0 ? std::clamp(double(ms - cells[cell].startMs) / double(cellMs), 0.0, 1.0) : 0.0;
    return (double(m_cellSectors[cell]) + into * double(sectors)) / double(m_sectors);
}

int TitleStream::openReader(void *opaque, void **reader, std::uint64_t *size)
{
    auto *stream = static_cast<TitleStream *>(opaque);
    auto r = std::make_unique<Reader>();
    r->stream = stream;
    r->dvd = disc::openDvd(stream->m_path.constData());
    if (r->dvd)
        r->vobs.reset(DVDOpenFile(r->dvd.get(), stream->m_titleSet, DVD_READ_TITLE_VOBS));
    if (!r->vobs)
        return -1;
    *size = stream->m_sectors * kSector;
    *reader = r.release();
    return 0;
}

ssize_t TitleStream::readFrom(void *reader, unsigned char *buffer, std::size_t length)
{
    auto *r = static_cast<Reader *>(reader);
    const TitleStream &s = *r->stream;
    const std::uint64_t sector = r->offset / kSector;
    if (sector >= s.m_sectors || length == 0)
        return 0;
    const std::uint64_t held = r->buffer.size() / kSector;
    if (sector < r->firstSector || sector >= r->firstSector + held) {
        // The cell that holds the sector, and as much of it as one read takes.
        const std::size_t cell =
            std::size_t(std::upper_bound(s.m_cellSectors.begin(), s.m_cellSectors.end(), sector) - s.m_cellSectors.begin() - 1);
        const disc::TitleLayout::Cell &c = s.m_layout.cells[cell];
        const std::uint64_t into = sector - s.m_cellSectors[cell];
        const std::uint32_t count = std::uint32_t(std::min<std::uint64_t>(kReadSectors, c.lastSector - c.firstSector + 1 - into));
        r->buffer.resize(count * kSector);
        const int read = DVDReadBlocks(r->vobs.get(), int(c.firstSector + into), count, r->buffer.data());
        if (read <= 0) {
            r->buffer.clear();
            return -1; // a read error: libvlc ends the stream
        }
        r->buffer.resize(std::size_t(read) * kSector);
        r->firstSector = sector;
        const int subpicture = s.m_subpicture.load();
        for (int i = 0; i < read; ++i)
            keepSubpicture(r->buffer.data() + std::size_t(i) * kSector, subpicture);
    }
    const std::size_t from = std::size_t(r->offset - r->firstSector * kSector);
    const std::size_t n = std::min(length, r->buffer.size() - from);
    std::memcpy(buffer, r->buffer.data() + from, n);
    r->offset += n;
    return ssize_t(n);
}

int TitleStream::seekTo(void *reader, std::uint64_t offset)
{
    static_cast<Reader *>(reader)->offset = offset;
    return 0;
}

void TitleStream::closeReader(void *reader) { delete static_cast<Reader *>(reader); }

void TitleStream::keepSubpicture(unsigned char *pack, int subStream)
{
    disc::mpeg::forEachPacket(pack, [subStream](unsigned char *packet, unsigned id, std::size_t length) {
        // Private stream 1 carries subtitles as sub-streams 0x20 to 0x3f.
        const std::size_t payload = length > 9 ? 9 + packet[8] : length;
        if (id != 0xBD || payload >= length || (packet[payload] & 0xE0) != 0x20)
            return;
        if ((packet[payload] & 0x1F) == subStream) {
            packet[payload] = 0x20;
        } else {
            packet[3] = 0xBE; // padding
            std::memset(packet + 6, 0xFF, length - 6);
        }
    });
}

} // namespace playback::engine
