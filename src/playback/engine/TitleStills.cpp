#include "playback/engine/TitleStills.h"

#include "playback/disc/DvdRead.h"
#include "playback/disc/Mpeg.h"
#include "playback/disc/TitleLayout.h"

#include <QFile>

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/nav_read.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cstring>

namespace playback::engine {

namespace {

constexpr int kReadChunk = 64;          // sectors per read
constexpr std::uint32_t kMaxVobuSectors = 8192; // a VOBU is at most a second of video: anything longer is garbage

// Replaces the lines of one field (rows firstRow, firstRow + 2, ...) of a plane
// with the average of the lines above and below.
void keepOneField(unsigned char *plane, int width, int height, int firstRow)
{
    for (int row = firstRow; row < height; row += 2) {
        unsigned char *line = plane + std::ptrdiff_t(row) * width;
        const unsigned char *above = row > 0 ? line - width : line + width;
        const unsigned char *below = row + 1 < height ? line + width : above;
        for (int x = 0; x < width; ++x)
            line[x] = static_cast<unsigned char>((above[x] + below[x] + 1) / 2);
    }
}

std::int64_t readPts(const unsigned char *p)
{
    return (std::int64_t((p[0] >> 1) & 0x07) << 30) | (std::int64_t(p[1]) << 22) | (std::int64_t(p[2] >> 1) << 15)
           | (std::int64_t(p[3]) << 7) | (p[4] >> 1);
}

} // namespace

struct TitleStills::Impl {
    dvd_reader_t *dvd = nullptr;
    ifo_handle_t *vmg = nullptr;
    ifo_handle_t *vts = nullptr;
    dvd_file_t *vobs = nullptr;
    AVCodecContext *codec = nullptr;
    AVCodecParserContext *parser = nullptr;
    AVPacket *packet = nullptr;
    AVFrame *frame = nullptr;
    // While decoding: how presentation times map to the title's time.
    std::int64_t cellStartMs = 0;
    std::uint32_t cellBasePtm = 0;

    ~Impl()
    {
        av_frame_free(&frame);
        av_packet_free(&packet);
        if (parser)
            av_parser_close(parser);
        avcodec_free_context(&codec);
        if (vobs)
            DVDCloseFile(vobs);
        if (vts)
            ifoClose(vts);
        if (vmg)
            ifoClose(vmg);
        if (dvd)
            DVDClose(dvd);
    }
};

TitleStills::TitleStills(const QString &discPath, int title) : d(std::make_unique<Impl>()), m_title(title)
{
    // The disc has been read in a helper process before anything plays (see
    // disc/FactsHelper.h), so its IFOs are known not to upset libdvdread.
    d->dvd = disc::openDvd(QFile::encodeName(discPath).constData()).release();
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
    m_ptsPerFrame = d->vts->vtsi_mat->vts_video_attr.video_format == 1 ? 3600 : 3003;
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

int TitleStills::codecId() const
{
    return d->vts->vtsi_mat->vts_video_attr.mpeg_version == 0 ? AV_CODEC_ID_MPEG1VIDEO : AV_CODEC_ID_MPEG2VIDEO;
}

TitleStills::~TitleStills() = default;

bool TitleStills::isValid() const { return m_valid; }

bool TitleStills::openDecoder()
{
    if (d->codec)
        return true;
    const AVCodec *decoder = avcodec_find_decoder(AVCodecID(codecId()));
    d->codec = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    if (!d->codec)
        return false;
    d->codec->thread_count = 1; // frame threads would only add delay to one GOP at a time
    if (avcodec_open2(d->codec, decoder, nullptr) < 0) {
        avcodec_free_context(&d->codec);
        return false;
    }
    if (!d->packet)
        d->packet = av_packet_alloc();
    if (!d->frame)
        d->frame = av_frame_alloc();
    if (!d->packet || !d->frame)
        avcodec_free_context(&d->codec);
    return d->codec != nullptr;
}

void TitleStills::release()
{
    // A decoded VOBU is some 15 pictures of 600 KB, and the decoder holds as many again.
    std::map<std::int64_t, Decoded>().swap(m_pictures);
    m_cachedCell = m_cachedVobu = ~std::size_t(0);
    avcodec_free_context(&d->codec);
}

std::optional<TitleStills::Nav> TitleStills::readNav(std::uint32_t sector)
{
    unsigned char block[DVD_VIDEO_LB_LEN];
    if (DVDReadBlocks(d->vobs, int(sector), 1, block) != 1)
        return std::nullopt;
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
    // The pack header's system clock reference (its 90 kHz base), MPEG-2 layout.
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
    // The last VOBU that starts at or before ms: presentation times rise through a cell.
    const std::int64_t wanted = std::max<std::int64_t>(0, ms - cell.startMs) * 90 + *base;
    std::size_t lo = 0, hi = cell.vobus.size(); // answer in [lo, hi)
    while (hi - lo > 1) {
        const std::size_t mid = (lo + hi) / 2;
        const auto ptm = vobuPtm(cell, mid);
        if (!ptm)
            return false;
        if (std::int64_t(*ptm) <= wanted)
            lo = mid;
        else
            hi = mid;
    }
    *cellIndex = c;
    *vobuIndex = lo;
    return true;
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
    // starts with a shorter lead.
    std::vector<std::int64_t> leads;
    for (Cell &cell : m_cells) {
        const std::size_t n = cell.vobus.size();
        const std::size_t step = std::max<std::size_t>(1, n / 8);
        for (std::size_t v = std::min<std::size_t>(2, n - 1); v < n && leads.size() < 16; v += step) {
            const auto nav = readNav(cell.vobus[v]);
            if (nav && nav->startPtm > nav->scr && nav->startPtm - nav->scr < 90 * 2000)
                leads.push_back((std::int64_t(nav->startPtm) - nav->scr) / 90);
        }
    }
    if (leads.empty())
        return std::nullopt;
    std::nth_element(leads.begin(), leads.begin() + std::ptrdiff_t(leads.size() / 2), leads.end());
    return leads[leads.size() / 2];
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
        if (!decodeVobu(c, v, false, &pictures))
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

bool TitleStills::decodeVobu(std::size_t c, std::size_t v, bool withPrevious, std::map<std::int64_t, Decoded> *into,
                             bool firstOnly)
{
    m_into = into;
    Cell &cell = m_cells[c];
    const auto base = vobuPtm(cell, 0);
    if (!base)
        return false;
    d->cellStartMs = cell.startMs;
    d->cellBasePtm = *base;
    m_lastPts = -1;
    if (!openDecoder())
        return false;
    avcodec_flush_buffers(d->codec);
    if (d->parser)
        av_parser_close(d->parser);
    d->parser = av_parser_init(AV_CODEC_ID_MPEG2VIDEO);
    if (!d->parser)
        return false;

    // The VOBU before supplies the pictures that an open GOP's first B-pictures
    // are predicted from; its own pictures come out too and are kept.
    std::vector<unsigned char> buffer(std::size_t(kReadChunk) * DVD_VIDEO_LB_LEN);
    for (std::size_t i = withPrevious && v > 0 ? v - 1 : v; i <= v; ++i) {
        const auto nav = readNav(cell.vobus[i]);
        if (!nav)
            return false;
        const std::uint32_t end = std::min(nav->endSector, cell.lastSector);
        for (std::uint32_t s = cell.vobus[i]; s <= end;) {
            const int count = int(std::min<std::uint32_t>(kReadChunk, end - s + 1));
            if (DVDReadBlocks(d->vobs, int(s), std::size_t(count), buffer.data()) != count)
                return false;
            for (int k = 0; k < count; ++k)
                feed(buffer.data() + std::size_t(k) * DVD_VIDEO_LB_LEN);
            s += std::uint32_t(count);
            if (firstOnly && !into->empty())
                return true;
        }
    }
    sendToDecoder(nullptr, 0, AV_NOPTS_VALUE);
    avcodec_send_packet(d->codec, nullptr);
    receiveFrames();
    return true;
}

void TitleStills::feed(const unsigned char *sector)
{
    // Only the video stream (0xE0) matters here.
    disc::mpeg::forEachPacket(sector, [this](const unsigned char *p, unsigned id, std::size_t length) {
        if (id != 0xE0 || length < 9 || (p[6] & 0xC0) != 0x80)
            return;
        const int headerLength = p[8];
        const unsigned char *payload = p + 9 + headerLength, *next = p + length;
        if (payload <= next) {
            const std::int64_t pts = (p[7] & 0x80) && headerLength >= 5 ? readPts(p + 9) : AV_NOPTS_VALUE;
            sendToDecoder(payload, int(next - payload), pts);
        }
    });
}

void TitleStills::sendToDecoder(const unsigned char *data, int size, std::int64_t pts)
{
    const bool flush = data == nullptr;
    do {
        std::uint8_t *out = nullptr;
        int outSize = 0;
        const int used = av_parser_parse2(d->parser, d->codec, &out, &outSize, data, size, pts, AV_NOPTS_VALUE, 0);
        if (used < 0)
            return;
        data += used;
        size -= used;
        pts = AV_NOPTS_VALUE; // the time belongs to the first picture that starts in this packet
        if (outSize > 0) {
            d->packet->data = out;
            d->packet->size = outSize;
            d->packet->pts = d->parser->pts;
            d->packet->dts = AV_NOPTS_VALUE;
            if (avcodec_send_packet(d->codec, d->packet) == 0)
                receiveFrames();
        }
        if (flush && outSize == 0)
            break;
    } while (size > 0 || flush);
}

void TitleStills::receiveFrames()
{
    while (avcodec_receive_frame(d->codec, d->frame) == 0) {
        AVFrame *f = d->frame;
        std::int64_t pts = f->pts != AV_NOPTS_VALUE ? f->pts : f->best_effort_timestamp;
        // Not every picture has a time of its own: the next picture follows the last.
        if (pts == AV_NOPTS_VALUE && m_lastPts >= 0)
            pts = m_lastPts + m_ptsPerFrame;
        const bool usable = pts != AV_NOPTS_VALUE && !(f->flags & AV_FRAME_FLAG_CORRUPT) && f->width > 0
                            && f->height > 0 && (f->width % 2) == 0 && (f->height % 2) == 0
                            && (f->format == AV_PIX_FMT_YUV420P || f->format == AV_PIX_FMT_YUVJ420P);
        if (usable) {
            m_lastPts = pts;
            Decoded picture;
            picture.width = f->width;
            picture.height = f->height;
            picture.intra = f->pict_type == AV_PICTURE_TYPE_I;
            const std::size_t luma = std::size_t(f->width) * f->height;
            picture.planes.resize(luma + luma / 2);
            unsigned char *out = picture.planes.data();
            for (int plane = 0; plane < 3; ++plane) {
                const int w = plane ? f->width / 2 : f->width, h = plane ? f->height / 2 : f->height;
                for (int row = 0; row < h; ++row)
                    std::memcpy(out + std::ptrdiff_t(row) * w, f->data[plane] + std::ptrdiff_t(row) * f->linesize[plane],
                                std::size_t(w));
                // The two fields of an interlaced picture were taken a field apart:
                // shown still, anything moving would comb. The first field is kept
                // and the other's lines are made from the lines around them.
                if (f->interlaced_frame)
                    keepOneField(out, w, h, f->top_field_first ? 1 : 0);
                out += std::ptrdiff_t(w) * h;
            }
            const std::int64_t ms = d->cellStartMs + (pts - std::int64_t(d->cellBasePtm)) / 90;
            m_into->insert_or_assign(ms, std::move(picture));
        }
        av_frame_unref(f);
    }
}

} // namespace playback::engine
