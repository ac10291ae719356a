#pragma once
// The MPEG-2 program stream as DVDs carry it: every 2048-byte sector of a title's
// video is one pack, a pack header followed by PES packets. Any thread.

#include <cstddef>
#include <cstdint>

namespace playback::disc::mpeg {

constexpr std::size_t kSector = 2048;
// Times in a program stream (SCR, PTS) count the 90 kHz system clock.
constexpr std::int64_t kTicksPerMs = 90;
// A frame's ticks: 25 frames a second (PAL), or 30000/1001 (NTSC).
constexpr int ticksPerFrame(bool pal) { return pal ? 3600 : 3003; }

// Whether the sector starts an MPEG-2 pack: its start code and MPEG-2's marker bits.
inline bool isPack(const unsigned char *s) { return s[0] == 0 && s[1] == 0 && s[2] == 1 && s[3] == 0xBA && (s[4] & 0xC0) == 0x40; }

// Calls packet(start, id, length) for each PES packet of the pack, in order:
// start points at its start code, length counts its 6 header bytes too. Stops at
// the first one that does not fit in the sector. Nothing for a sector that is not a pack.
template<typename Byte, typename Packet>
void forEachPacket(Byte *pack, Packet &&packet)
{
    if (!isPack(pack))
        return;
    std::size_t at = 14 + (pack[13] & 7); // the pack header and its stuffing
    while (at + 6 <= kSector && pack[at] == 0 && pack[at + 1] == 0 && pack[at + 2] == 1) {
        const std::size_t length = 6 + (std::size_t(pack[at + 4]) << 8 | pack[at + 5]);
        if (at + length > kSector)
            return;
        packet(pack + at, unsigned(pack[at + 3]), length);
        at += length;
    }
}

} // namespace playback::disc::mpeg
