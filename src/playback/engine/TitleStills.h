#pragma once
// Single pictures of a title, decoded straight from the disc: what the reverse
// scan shows. libvlc can only seek to the start of a GOP (about half a second
// apart), so stepping it backwards shows two or three new pictures a second;
// decoding a GOP here gives every picture in it, in any order.
//
// The title's cells and the disc's VOBU address map (libdvdread) say where each
// VOBU is; a VOBU's navigation pack says when it starts. A VOBU is decoded
// (libavcodec) together with the one before it, whose last pictures the open
// GOP's first B-pictures refer to, and its pictures are kept until a picture of
// another VOBU is asked for.
//
// Threads: not thread-safe; the engine runs it on a thread of its own (DecoderThread).

#include "playback/engine/Picture.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace playback::engine {

struct Still {
    QImage image;           // as decoded: full size, not corrected for the display aspect
    std::int64_t ms = 0;    // when it is shown, from the title's start
    std::uint64_t hash = 0; // lumaSampleHash of the decoded picture
};

class TitleStills {
public:
    // discPath: what libdvdread opens (device node, image file or folder); title 1..N.
    TitleStills(const QString &discPath, int title);
    ~TitleStills();
    TitleStills(const TitleStills &) = delete;
    TitleStills &operator=(const TitleStills &) = delete;

    bool isValid() const;
    int title() const { return m_title; }
    double displayAspect() const { return m_aspect; } // width / height on screen
    // The picture on screen ms into the title: the last one shown at or before ms
    // (the first picture for ms before it). nullopt when the disc cannot be read there.
    std::optional<Still> pictureAt(std::int64_t ms);
    // The first picture of chapter (0-based): where a jump to it lands. nullopt
    // when the chapter is not in the title's first program chain or unreadable.
    std::optional<Still> chapterStart(int chapter);
    // The first intra pictures of the count VOBUs after the one that holds ms: where
    // a seek of libvlc's to ms may land.
    KnownPictures keyPicturesAfter(std::int64_t ms, int count);
    // Where play can go on past damage met about ms into the title (a scratch on a
    // drive): the start of the first VOBU after the unreadable ones there. Probes
    // forward in doubling steps, then back to the earliest readable one, so that a
    // long scratch costs few failed reads. nullopt when nothing after ms reads.
    std::optional<std::int64_t> firstReadableAfter(std::int64_t ms);
    // How long a VOBU's navigation pack is read before its first picture is due
    // (its PTS against the pack's SCR; the median over the title), nullopt when unreadable.
    std::optional<std::int64_t> muxLeadMs();
    // How long a picture is shown on average (film with 3:2 pulldown: 1001/24 ms,
    // although the stream's frame rate says 29.97), from a VOBU's pictures;
    // nullopt when unreadable.
    std::optional<double> picturePeriodMs();
    // Lets go of the decoded pictures and the decoder until the next picture is asked for.
    void release();

private:
    struct Cell {
        std::uint32_t firstSector = 0, lastSector = 0;
        std::int64_t startMs = 0;               // from the title's start
        std::vector<std::uint32_t> vobus;       // start sectors
        std::vector<std::optional<std::uint32_t>> vobuPtm; // start presentation times, read when needed
    };
    struct Decoded {
        std::vector<unsigned char> planes; // I420, pitch == width
        int width = 0, height = 0;
        bool intra = false;
    };
    struct Nav {
        std::uint32_t startPtm = 0;
        std::uint32_t endSector = 0; // last sector of the VOBU
        std::int64_t scr = 0;        // the pack's system clock reference, 90 kHz
    };

    int codecId() const;
    bool openDecoder();
    std::optional<Nav> readNav(std::uint32_t sector);
    std::optional<std::uint32_t> vobuPtm(Cell &cell, std::size_t vobu);
    // When the VOBU starts, from the title's start; nullopt when its cell's or its own navigation pack is unreadable.
    std::optional<std::int64_t> vobuStartMs(std::size_t cell, std::size_t vobu);
    // The cell and VOBU that hold ms (ms clamped into the title).
    bool locate(std::int64_t ms, std::size_t *cell, std::size_t *vobu);
    // Which decoded pictures keep their pixels: all, the intra ones, or none
    // (only their times are wanted; copying each picture costs more than decoding it).
    enum class Keep { Pixels, IntraPixels, Times };
    // Decodes the VOBU (after the one before it, withPrevious) into *into; with
    // firstOnly it stops once a picture is out.
    bool decodeVobu(std::size_t cell, std::size_t vobu, bool withPrevious, std::map<std::int64_t, Decoded> *into,
                    bool firstOnly = false, Keep keep = Keep::Pixels);
    void feed(const unsigned char *sector);
    void sendToDecoder(const unsigned char *data, int size, std::int64_t pts);
    void receiveFrames();
    bool decodeCached(std::size_t cell, std::size_t vobu);
    Still still(std::map<std::int64_t, Decoded>::const_iterator picture) const;

    struct Impl;
    std::unique_ptr<Impl> d;
    int m_title = 0;
    bool m_valid = false;
    int m_ptsPerFrame = 3600;
    double m_aspect = 4.0 / 3.0;
    std::vector<Cell> m_cells;
    std::vector<std::optional<std::size_t>> m_chapterCells; // by chapter: its first cell in m_cells
    // The decoded VOBU: its pictures by presentation time (cell-relative ms).
    std::size_t m_cachedCell = ~std::size_t(0), m_cachedVobu = ~std::size_t(0);
    std::map<std::int64_t, Decoded> m_pictures;
    std::int64_t m_lastPts = -1;
    std::map<std::int64_t, Decoded> *m_into = nullptr;
    Keep m_keep = Keep::Pixels;
};

} // namespace playback::engine
