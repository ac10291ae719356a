#pragma once
// A title read cell by cell through libdvdread and handed to libvlc as one MPEG
// program stream (libvlc_media_new_callbacks): how titles play without libvlc's
// DVD navigation, which cannot start a disc whose first title set is damaged
// (nor can its plain dvdread access, which opens title 1 first). libvlc's
// program stream demuxer knows nothing of titles, chapters or subtitle
// languages: the title's layout says where chapters start, and of the subtitle
// streams the stream passes on only the one chosen, as the first, so that libvlc
// sees that one alone.
//
// Threads: the layout is fixed when the stream is made; the reading (libvlc's
// callbacks) runs on libvlc's input thread; the subtitle choice is an atomic set
// from the GUI thread.

#include "playback/disc/TitleLayout.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

struct libvlc_instance_t;
struct libvlc_media_t;

namespace playback::engine {

class TitleStream {
public:
    // title: 1..N. nullptr when the title cannot be read (its title set's IFO is damaged).
    static std::shared_ptr<TitleStream> open(const QString &discPath, int title);

    int title() const { return m_title; }
    const disc::TitleLayout &layout() const { return m_layout; }
    // A media that reads this stream. The stream must outlive every player that
    // plays it (the player's reaper keeps it).
    libvlc_media_t *newMedia(libvlc_instance_t *instance);
    // Where ms into the title lies in the stream, as a fraction of it: a cell's
    // start exactly, within a cell in proportion.
    double positionAt(std::int64_t ms) const;
    // The sub-stream (0..31) of the subtitle stream passed on; -1: none.
    void setSubpictureStream(int subStream) { m_subpicture = subStream; }

    // Rewrites one 2048-byte pack in place: the subtitle packets of subStream are
    // passed on as sub-stream 0, the others become padding of the same length.
    static void keepSubpicture(unsigned char *pack, int subStream);

private:
    TitleStream() = default;
    struct Reader;
    static int openReader(void *opaque, void **reader, std::uint64_t *size);
    static ssize_t readFrom(void *reader, unsigned char *buffer, std::size_t length);
    static int seekTo(void *reader, std::uint64_t offset);
    static void closeReader(void *reader);

    QByteArray m_path; // what libdvdread opens
    int m_title = 0;
    int m_titleSet = 0;
    disc::TitleLayout m_layout;
    std::vector<std::uint64_t> m_cellSectors; // by cell: the sectors of the stream before it
    std::uint64_t m_sectors = 0;
    std::atomic<int> m_subpicture{0};
};

} // namespace playback::engine
