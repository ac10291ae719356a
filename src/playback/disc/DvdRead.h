#pragma once
// libdvdread, quietly and with its handles closed on every path. libdvdread
// writes a banner and every complaint about a bad disc to stderr unless it is
// given a logger. Any thread (each handle on one thread at a time).

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>

#include <memory>

namespace playback::disc {

struct DvdCloser {
    void operator()(dvd_reader_t *d) const { DVDClose(d); }
};
struct IfoCloser {
    void operator()(ifo_handle_t *i) const { ifoClose(i); }
};
struct FileCloser {
    void operator()(dvd_file_t *f) const { DVDCloseFile(f); }
};
using DvdPtr = std::unique_ptr<dvd_reader_t, DvdCloser>;
using IfoPtr = std::unique_ptr<ifo_handle_t, IfoCloser>;
using FilePtr = std::unique_ptr<dvd_file_t, FileCloser>;

// DVDOpen without a word on stderr.
DvdPtr openDvd(const char *path);

} // namespace playback::disc
