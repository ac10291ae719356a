#pragma once
// The windows are laid out in twips: 1440 a logical inch, 15 a pixel at 96 dpi.

#include <QRect>

#include <cmath>

namespace app {

inline constexpr int kTwipsPerPixel = 15;

inline int twipsToPixels(double twips) { return int(std::lround(twips / kTwipsPerPixel)); }

inline double pixelsToTwips(int pixels) { return double(pixels) * kTwipsPerPixel; }

// Rounds both edges rather than the size, so that controls placed edge to edge
// in twips stay edge to edge in pixels.
inline QRect twipsRectToPixels(double left, double top, double width, double height)
{
    const int x0 = twipsToPixels(left), y0 = twipsToPixels(top);
    return QRect(x0, y0, twipsToPixels(left + width) - x0, twipsToPixels(top + height) - y0);
}

} // namespace app
