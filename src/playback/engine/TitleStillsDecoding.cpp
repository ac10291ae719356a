// TitleStills: decoding a VOBU's pictures with libavcodec. Not thread-safe (see TitleStills.h).

#include "playback/engine/TitleStillsImpl.h"

#include "playback/disc/Mpeg.h"

#include <cstring>

namespace playback::engine {

namespace {

constexpr int kReadChunk = 64; // sectors per read

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

int TitleStills::codecId() const
{
    return d->vts->vtsi_mat->vts_video_attr.mpeg_version == 0 ? AV_CODEC_ID_MPEG1VIDEO : AV_CODEC_ID_MPEG2VIDEO;
}

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

bool TitleStills::decodeVobu(std::size_t c, std::size_t v, bool withPrevious, std::map<std::int64_t, Decoded> *into,
                             bool firstOnly, Keep keep)
{
    m_into = into;
    m_keep = keep;
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
    // One that cannot be read (a scratch) is done without; it is not read again.
    for (std::size_t i = withPrevious && v > 0 ? v - 1 : v; i <= v; ++i) {
        const auto nav = readNav(cell.vobus[i]);
        if (!nav && i < v)
            continue;
        if (!nav)
            return false;
        const std::uint32_t end = std::min(nav->endSector, cell.lastSector);
        for (std::uint32_t s = cell.vobus[i]; s <= end;) {
            const int count = int(std::min<std::uint32_t>(kReadChunk, end - s + 1));
            if (DVDReadBlocks(d->vobs, int(s), std::size_t(count), buffer.data()) != count) {
                d->unreadable.insert(cell.vobus[i]);
                if (i < v)
                    break;
                return false;
            }
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
            const std::int64_t ms = d->cellStartMs + (pts - std::int64_t(d->cellBasePtm)) / disc::mpeg::kTicksPerMs;
            if (m_keep == Keep::Pixels || (m_keep == Keep::IntraPixels && picture.intra)) {
                const std::size_t luma = std::size_t(f->width) * f->height;
                picture.planes.resize(luma + luma / 2);
                unsigned char *out = picture.planes.data();
                for (int plane = 0; plane < 3; ++plane) {
                    const int w = plane ? f->width / 2 : f->width, h = plane ? f->height / 2 : f->height;
                    for (int row = 0; row < h; ++row)
                        std::memcpy(out + std::ptrdiff_t(row) * w,
                                    f->data[plane] + std::ptrdiff_t(row) * f->linesize[plane], std::size_t(w));
                    // The two fields of an interlaced picture were taken a field apart:
                    // shown still, anything moving would comb. The first field is kept
                    // and the other's lines are made from the lines around them.
                    if (f->interlaced_frame)
                        keepOneField(out, w, h, f->top_field_first ? 1 : 0);
                    out += std::ptrdiff_t(w) * h;
                }
            }
            m_into->insert_or_assign(ms, std::move(picture));
        }
        av_frame_unref(f);
    }
}

} // namespace playback::engine
