#pragma once
// Full screen: a frameless window over the whole screen that the picture moves
// into, and back. The window only presents: the control keeps playing, and the
// display decides what goes in it (libvlc's X window moves into it, or
// our own painting of the picture). Escape, Alt+F4 and a double-click leave it.
//
// Threads: GUI thread only.

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace playback::engine {

class Display;

class FullScreen : public QObject {
    Q_OBJECT
public:
    // control: the widget the picture shows in otherwise. aspect: the picture's
    // display aspect; key: offered every key press, true when it used it (menus).
    FullScreen(QWidget *control, std::function<Display &()> display, std::function<double()> aspect,
               std::function<bool(int)> key);
    ~FullScreen() override;

    void enter();
    void leave();
    void toggle() { isOn() ? leave() : enter(); }
    bool isOn() const { return m_window != nullptr; }
    QWidget *window() const;
    // A new picture to paint (into memory).
    void update();

signals:
    void changed();

private:
    QWidget *m_control;
    std::function<Display &()> m_display;
    std::function<double()> m_aspect;
    std::function<bool(int)> m_key;
    QPointer<QWidget> m_window; // a FullScreenWindow
};

} // namespace playback::engine
