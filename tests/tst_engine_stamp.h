#pragma once
// Shared by the engine tests: reading the frame stamp that scripts/make-sample-disc
// burns into every picture, and the time strings of the playback control.

#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>

namespace enginetest {

inline QString discs() { return QStringLiteral(ORVANTA_SAMPLE_DISC); }

struct Stamp {
    int frame = -1;
    int title = -1;
    int chapter = -1;
};

// 32-px cells from x = 56; row A at y 16-47 (white, black, 16 frame bits MSB first,
// parity), row B at y 56-87 (black, white, 4 title bits, 4 chapter bits, parity).
inline std::optional<Stamp> readStamp(const QImage &image)
{
    if (image.width() < 720 || image.height() < 96)
        return std::nullopt;
    auto bit = [&](int row, int cell) { return qGray(image.pixel(56 + 32 * cell + 16, row)) > 128; };
    const int a = 32, b = 72;
    if (!bit(a, 0) || bit(a, 1) || bit(b, 0) || !bit(b, 1))
        return std::nullopt;
    Stamp s{0, 0, 0};
    int ones = 0;
    for (int i = 0; i < 16; ++i) {
        const bool v = bit(a, 2 + i);
        s.frame = s.frame * 2 + v;
        ones += v;
    }
    if ((ones + bit(a, 18)) % 2)
        return std::nullopt;
    ones = 0;
    for (int i = 0; i < 8; ++i) {
        const bool v = bit(b, 2 + i);
        int &field = i < 4 ? s.title : s.chapter;
        field = field * 2 + v;
        ones += v;
    }
    if ((ones + bit(b, 10)) % 2)
        return std::nullopt;
    return s;
}

// "HH:MM:SS:FF" at 25 frames a second as a frame count; -1 when malformed.
inline int framesOf(const QString &timecode)
{
    const QStringList p = timecode.split(QLatin1Char(':'));
    if (p.size() != 4 || timecode.size() != 11)
        return -1;
    return ((p[0].toInt() * 60 + p[1].toInt()) * 60 + p[2].toInt()) * 25 + p[3].toInt();
}

} // namespace enginetest
