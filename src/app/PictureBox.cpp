#include "app/PictureBox.h"

#include "app/Errors.h"
#include "app/Twips.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace app {

PictureBox::PictureBox(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::NoFrame);
    setFocusPolicy(Qt::TabFocus);
}

void PictureBox::setScaleWidth(float width)
{
    if (width == 0.0f || !std::isfinite(width))
        throw InvalidArgument(QStringLiteral("a picture's scale width cannot be %1").arg(double(width)));
    m_scaleWidth = width;
}

void PictureBox::fillRect(float x1, float y1, float x2, float y2, QColor colour)
{
    const QRect inner(QPoint(0, 0), contentsRect().size());
    if (inner.isEmpty())
        return;
    const double perUnit = double(visibleWidth()) / double(m_scaleWidth);
    auto toX = [perUnit](float x) { return double(x) * perUnit; };
    auto toY = [](float y) { return double(y) / kTwipsPerPixel; };
    double left = toX(x1), right = toX(x2), top = toY(y1), bottom = toY(y2);
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    // Clip in double precision first: a position far beyond the scale must not overflow int.
    left = std::clamp(left, -1.0, double(inner.width()) + 1);
    right = std::clamp(right, -1.0, double(inner.width()) + 1);
    top = std::clamp(top, -1.0, double(inner.height()) + 1);
    bottom = std::clamp(bottom, -1.0, double(inner.height()) + 1);
    const QRect r = QRect(QPoint(int(std::lround(left)), int(std::lround(top))),
                          QPoint(int(std::lround(right)) - 1, int(std::lround(bottom)) - 1))
                        .intersected(inner);
    if (r.isEmpty())
        return;
    QPainter p(&m_image);
    p.fillRect(r, colour);
    update();
}

int PictureBox::visibleWidth() const
{
    const QRect inner = contentsRect();
    int right = inner.right();
    if (const QWidget *p = parentWidget())
        right = std::min(right, mapFrom(p, QPoint(p->rect().right(), 0)).x());
    return std::max(1, right - inner.left() + 1);
}

void PictureBox::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    const QSize inner = contentsRect().size();
    if (m_scaleWidth == 0.0f)
        m_scaleWidth = float(pixelsToTwips(visibleWidth()));
    QImage next(inner, QImage::Format_RGB32);
    next.fill(palette().color(QPalette::Window));
    if (!m_image.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, m_image);
    }
    m_image = next;
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    p.drawImage(contentsRect().topLeft(), m_image);
}

} // namespace app
