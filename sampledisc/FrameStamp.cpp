#include "FrameStamp.h"

#include <QStringList>

#include <algorithm>
#include <vector>

namespace sampledisc {

// Geometry in the 720x576 picture, as scripts/make-sample-disc draws it.

namespace {

constexpr int kWidth = 720;
constexpr int kHeight = 576;
constexpr int kCell = 32;
constexpr int kCellsX0 = 56;
constexpr int kRowA = 16;
constexpr int kRowB = 56;
constexpr int kContentLuma = 28; // the darkest video background is about twice this; borders are black

struct Geometry {
    int left, top;
    double sx, sy;
};

// -1 for a cell that is neither clearly white nor clearly black.
int cellValue(const QImage &gray, const Geometry &g, int column, int rowTop)
{
    const double cu = kCellsX0 + column * kCell + kCell / 2.0;
    const double cv = rowTop + kCell / 2.0;
    // Average the middle half of the cell: its edges blur under compression and scaling.
    const int rx = std::max(0, int(kCell / 4.0 * g.sx));
    const int ry = std::max(0, int(kCell / 4.0 * g.sy));
    const int cx = g.left + int(cu * g.sx);
    const int cy = g.top + int(cv * g.sy);
    long sum = 0;
    int count = 0;
    for (int y = cy - ry; y <= cy + ry; ++y) {
        if (y < 0 || y >= gray.height())
            return -1;
        const uchar *line = gray.constScanLine(y);
        for (int x = cx - rx; x <= cx + rx; ++x) {
            if (x < 0 || x >= gray.width())
                return -1;
            sum += line[x];
            ++count;
        }
    }
    const int mean = int(sum / count);
    if (mean >= 170)
        return 1;
    if (mean <= 85)
        return 0;
    return -1;
}

bool bandIsGrey(const QImage &gray, const Geometry &g, double u, double v)
{
    const int x = g.left + int(u * g.sx);
    const int y = g.top + int(v * g.sy);
    if (x < 0 || y < 0 || x >= gray.width() || y >= gray.height())
        return false;
    const int value = gray.constScanLine(y)[x];
    return value > 85 && value < 170;
}

} // namespace

std::optional<FrameStamp> readFrameStamp(const QImage &picture)
{
    if (picture.isNull() || picture.width() < 160 || picture.height() < 128)
        return std::nullopt;
    const QImage gray = picture.convertToFormat(QImage::Format_Grayscale8);
    const int w = gray.width();
    const int h = gray.height();

    // The video's rectangle inside black borders: rows and columns with enough
    // pixels brighter than a border.
    std::vector<int> rowCount(h, 0), columnCount(w, 0);
    for (int y = 0; y < h; ++y) {
        const uchar *line = gray.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            if (line[x] > kContentLuma) {
                ++rowCount[y];
                ++columnCount[x];
            }
        }
    }
    const int rowNeed = std::max(4, w / 20);
    const int columnNeed = std::max(4, h / 20);
    int top = 0, bottom = h - 1, left = 0, right = w - 1;
    while (top < h && rowCount[top] < rowNeed)
        ++top;
    while (bottom > top && rowCount[bottom] < rowNeed)
        --bottom;
    while (left < w && columnCount[left] < columnNeed)
        ++left;
    while (right > left && columnCount[right] < columnNeed)
        --right;
    const int cw = right - left + 1;
    const int ch = bottom - top + 1;
    if (top >= h || left >= w || cw < 160 || ch < 128)
        return std::nullopt;
    const Geometry g{left, top, double(cw) / kWidth, double(ch) / kHeight};

    // The grey band around the cells tells a stamped picture from any other
    // picture with black and white patches.
    if (!bandIsGrey(gray, g, 28, 48) || !bandIsGrey(gray, g, 692, 48) || !bandIsGrey(gray, g, 560, 72))
        return std::nullopt;

    int rowA[19], rowB[11];
    for (int i = 0; i < 19; ++i) {
        if ((rowA[i] = cellValue(gray, g, i, kRowA)) < 0)
            return std::nullopt;
    }
    for (int i = 0; i < 11; ++i) {
        if ((rowB[i] = cellValue(gray, g, i, kRowB)) < 0)
            return std::nullopt;
    }
    if (rowA[0] != 1 || rowA[1] != 0 || rowB[0] != 0 || rowB[1] != 1)
        return std::nullopt;

    FrameStamp stamp{0, 0, 0};
    int ones = rowA[18];
    for (int i = 2; i < 18; ++i) {
        stamp.frame = stamp.frame * 2 + rowA[i];
        ones += rowA[i];
    }
    if (ones % 2 != 0)
        return std::nullopt;
    ones = rowB[10];
    for (int i = 2; i < 6; ++i) {
        stamp.title = stamp.title * 2 + rowB[i];
        ones += rowB[i];
    }
    for (int i = 6; i < 10; ++i) {
        stamp.chapter = stamp.chapter * 2 + rowB[i];
        ones += rowB[i];
    }
    if (ones % 2 != 0)
        return std::nullopt;
    return stamp;
}

int framesOf(const QString &timecode, int framesPerSecond)
{
    const QStringList p = timecode.split(QLatin1Char(':'));
    if (p.size() != 4 || timecode.size() != 11)
        return -1;
    return ((p[0].toInt() * 60 + p[1].toInt()) * 60 + p[2].toInt()) * framesPerSecond + p[3].toInt();
}

} // namespace sampledisc
