#pragma once
// Helpers for decoded pictures, safe on any thread: converting libvlc's and
// libavcodec's planar pictures to RGB, telling pictures apart by content, and
// drawing one into an area with its display aspect.

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

class QPainter;
class QRect;

namespace playback::engine {

// Pictures known by content: a sample hash of the luma plane (lumaSampleHash) and
// the picture's position in ms.
using KnownPictures = std::vector<std::pair<std::uint64_t, std::int64_t>>;

// A sparse sample of a luma plane, enough to tell one picture from another.
std::uint64_t lumaSampleHash(const unsigned char *luma, unsigned width, unsigned height, std::size_t pitch);

// Converts planar 4:2:0 video (BT.601, limited range) to RGB.
QImage i420ToImage(const unsigned char *y, const unsigned char *u, const unsigned char *v, int width, int height,
                   int yPitch, int uvPitch);

// Draws picture scaled to fit area, keeping the display aspect ratio
// (width / height, 0 = the picture's own), centred on black.
void paintPicture(QPainter &painter, const QRect &area, const QImage &picture, double displayAspect);

} // namespace playback::engine
