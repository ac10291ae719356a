#pragma once
// TitleStills' handles: libdvdread's for the title, libavcodec's for its
// decoding. Shared by TitleStills.cpp (reading the title) and
// TitleStillsDecoding.cpp (decoding its VOBUs); nothing else includes it.

#include "playback/engine/TitleStills.h"

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace playback::engine {

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

} // namespace playback::engine
