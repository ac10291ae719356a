#pragma once
// The frameless window that shows the picture over the whole screen. It only
// presents: the playback control keeps playing and decides what goes in it.

#include <QImage>
#include <QWidget>

#include <functional>

namespace playback::engine {

// Draws picture scaled to fit area, keeping the display aspect ratio
// (width / height, 0 = the picture's own), centred on black.
void paintPicture(QPainter &painter, const QRect &area, const QImage &picture, double displayAspect);

class FullScreenWindow : public QWidget {
    Q_OBJECT
public:
    // picture: what to paint when rendering into memory (empty when libvlc draws
    // into a native window placed inside this one). key: offered every key press;
    // returns true when it used it (DVD menu navigation).
    FullScreenWindow(std::function<QImage()> picture, std::function<double()> aspect, std::function<bool(int)> key);

signals:
    // Escape, Alt+F4 (a close request) or a double-click: go back to the video window.
    void leaveRequested();
    void resized();

protected:
    void paintEvent(QPaintEvent *) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    std::function<QImage()> m_picture;
    std::function<double()> m_aspect;
    std::function<bool(int)> m_key;
};

} // namespace playback::engine
