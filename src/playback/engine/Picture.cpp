#include "playback/engine/Picture.h"

#include <QPainter>

#include <cstring>
#include <memory>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace playback::engine {

namespace {

struct SwsFree {
    void operator()(SwsContext *context) const { sws_freeContext(context); }
};

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
    // One converter a thread, kept while the pictures keep their size; swscale's
    // defaults for YUV are BT.601 and limited range, as DVD video is. Point
    // sampling takes each chroma sample for its two columns and rows.
    thread_local std::unique_ptr<SwsContext, SwsFree> converter;
    converter.reset(sws_getCachedContext(converter.release(), width, height, AV_PIX_FMT_YUV420P, width, height,
                                         AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr));
    if (!converter || width <= 0 || height <= 0)
        return {};
    QImage image(width, height, QImage::Format_RGB32); // the same 32-bit words as AV_PIX_FMT_RGB32
    const unsigned char *const planes[] = {y, u, v};
    const int pitches[] = {yPitch, uvPitch, uvPitch};
    unsigned char *const out[] = {image.bits()};
    const int outPitch[] = {int(image.bytesPerLine())};
    sws_scale(converter.get(), planes, pitches, 0, height, out, outPitch);
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
