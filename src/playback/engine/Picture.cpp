#include "playback/engine/Picture.h"

#include <QPainter>

#include <algorithm>
#include <cstring>

namespace playback::engine {

namespace {

inline unsigned char clampByte(int v) { return static_cast<unsigned char>(std::clamp(v, 0, 255)); }

} // namespace

std::uint64_t lumaSampleHash(const unsigned char *luma, unsigned width, unsigned height, std::size_t pitch)
{
    // Eight pixels in every 32 of every eighth row (any 32x32 block is sampled),
    // read as words: about 2 µs per picture.
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned row = 0; row < height; row += 8) {
        const unsigned char *p = luma + row * pitch;
        for (unsigned col = (row / 8) % 4 * 8; col + 8 <= width; col += 32) {
            std::uint64_t word;
            std::memcpy(&word, p + col, sizeof word);
            h = (h ^ word) * 1099511628211ull;
        }
    }
    return h;
}

QImage i420ToImage(const unsigned char *y, const unsigned char *u, const unsigned char *v, int width, int height,
                   int yPitch, int uvPitch)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int row = 0; row < height; ++row) {
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(row));
        const unsigned char *yr = y + row * yPitch;
        const unsigned char *ur = u + (row / 2) * uvPitch;
        const unsigned char *vr = v + (row / 2) * uvPitch;
        for (int col = 0; col < width; ++col) {
            const int c = 298 * (yr[col] - 16);
            const int d = ur[col / 2] - 128;
            const int e = vr[col / 2] - 128;
            out[col] = qRgb(clampByte((c + 409 * e + 128) >> 8), clampByte((c - 100 * d - 208 * e + 128) >> 8),
                            clampByte((c + 516 * d + 128) >> 8));
        }
    }
    return image;
}

void paintPicture(QPainter &painter, const QRect &area, const QImage &picture, double displayAspect)
{
    painter.fillRect(area, Qt::black);
    if (picture.isNull() || area.isEmpty())
        return;
    const double aspect = displayAspect > 0 ? displayAspect : double(picture.width()) / picture.height();
    double w = area.width(), h = w / aspect;
    if (h > area.height()) {
        h = area.height();
        w = h * aspect;
    }
    const QRectF target(area.x() + (area.width() - w) / 2, area.y() + (area.height() - h) / 2, w, h);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, picture);
}

} // namespace playback::engine
