#include "playback/engine/FullScreenWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>

namespace playback::engine {

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

FullScreenWindow::FullScreenWindow(std::function<QImage()> picture, std::function<double()> aspect,
                                   std::function<bool(int)> key)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_picture(std::move(picture)),
      m_aspect(std::move(aspect)), m_key(std::move(key))
{
    setWindowTitle(QStringLiteral("Orvanta Player"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::BlankCursor);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    setAutoFillBackground(!m_picture);
}

void FullScreenWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintPicture(painter, rect(), m_picture ? m_picture() : QImage(), m_aspect ? m_aspect() : 0.0);
}

void FullScreenWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        emit leaveRequested();
        return;
    }
    if (m_key && m_key(event->key()))
        return;
    QWidget::keyPressEvent(event);
}

void FullScreenWindow::closeEvent(QCloseEvent *event)
{
    // Alt+F4 leaves full screen; the window itself stays with the playback control.
    event->ignore();
    emit leaveRequested();
}

void FullScreenWindow::mouseDoubleClickEvent(QMouseEvent *) { emit leaveRequested(); }

void FullScreenWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit resized();
}

} // namespace playback::engine
