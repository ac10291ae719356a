#pragma once
// A picture box that keeps what is drawn on it (drawing goes into a backing
// image, so it survives repaints) and has a settable horizontal user scale.
// The vertical scale stays in twips.
//
// The horizontal scale spans the part of the box that can be seen: a box wider
// than its parent is cut off at the parent's edge, and a bar drawn from 0 to the
// scale's width must still reach the visible end.

#include <QFrame>
#include <QImage>

namespace app {

class PictureBox : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    // The visible inner width in user units. Zero is not a valid scale (app::InvalidArgument).
    float scaleWidth() const { return m_scaleWidth; }
    void setScaleWidth(float width);

    // Fills the rectangle between the two corners (in user units across, twips
    // down), outline and inside in one colour; what falls outside is clipped.
    void fillRect(float x1, float y1, float x2, float y2, QColor colour);

    // What is drawn, inner area only, one pixel per pixel.
    const QImage &image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The inner width in pixels that is not cut off by the parent.
    int visibleWidth() const;

    QImage m_image;
    float m_scaleWidth = 0.0f;
};

} // namespace app
