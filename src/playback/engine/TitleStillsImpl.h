#pragma once
// TitleStills' handles: libdvdread's for the title, libavcodec's for its
// decoding. Shared by TitleStills.cpp (reading the title) and
// TitleStillsDecoding.cpp (decoding its VOBUs); nothing else includes it.

#include "playback/engine/TitleStills.h"

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>

#include <cstdint>
#include <set>

#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace playback::engine {

struct TitleStills::Impl {
    dvd_reader_t *dvd = nullptr;
    ifo_handle_t *vmg = nullptr;
    ifo_handle_t *vts = nullptr;
    dvd_file_t *vobs = nullptr;
    // A drive seeks for every read far from the last one, and retries a scratch
    // for seconds: what failed once is not read again.
    bool drive = false;
    std::set<std::uint32_t> unreadable;
    // On a drive: the device read directly, past the kernel's read-ahead, whose
    // failure in a scratch is retried page by page (seconds each); and where the
    // title's VOBs start on it (a DVD's VOBs lie in one piece).
    int direct = -1;
    std::uint32_t vobsSector = 0;
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
        if (direct >= 0)
            ::close(direct);
        if (vts)
            ifoClose(vts);
        if (vmg)
            ifoClose(vmg);
        if (dvd)
            DVDClose(dvd);
    }
};

} // namespace playback::engine
