#include "playback/engine/FullScreen.h"

#include "playback/engine/Display.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>

namespace playback::engine {

class FullScreenWindow : public QWidget {
    Q_OBJECT
public:
    explicit FullScreenWindow(FullScreen &owner, std::function<Display &()> display,
                              std::function<double()> aspect, std::function<bool(int)> key)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_owner(owner), m_display(std::move(display)),
          m_aspect(std::move(aspect)), m_key(std::move(key))
    {
        setWindowTitle(QStringLiteral("Orvanta Player"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::BlankCursor);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        paintPicture(painter, rect(), m_display().picture(), m_aspect());
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape)
            leaveLater();
        else if (!m_key(event->key()))
            QWidget::keyPressEvent(event);
    }
    // Alt+F4 leaves full screen; the window itself stays with the control.
    void closeEvent(QCloseEvent *event) override
    {
        event->ignore();
        leaveLater();
    }
    void mouseDoubleClickEvent(QMouseEvent *) override { leaveLater(); }

private:
    void leaveLater()
    {
        QMetaObject::invokeMethod(&m_owner, &FullScreen::leave, Qt::QueuedConnection);
    }

    FullScreen &m_owner;
    std::function<Display &()> m_display;
    std::function<double()> m_aspect;
    std::function<bool(int)> m_key;
};

FullScreen::FullScreen(QWidget *control, std::function<Display &()> display, std::function<double()> aspect,
                       std::function<bool(int)> key)
    : m_control(control), m_display(std::move(display)), m_aspect(std::move(aspect)),
      m_key(std::move(key))
{
}

FullScreen::~FullScreen() { delete m_window.data(); }

QWidget *FullScreen::window() const { return m_window.data(); }

void FullScreen::update()
{
    if (m_window)
        m_window->update();
}

void FullScreen::enter()
{
    if (m_window)
        return;
    m_window = new FullScreenWindow(*this, m_display, m_aspect, m_key);
    QScreen *screen = m_control->screen() ? m_control->screen() : QGuiApplication::primaryScreen();
    if (screen)
        m_window->setGeometry(screen->geometry());
    emit changed();
    m_window->showFullScreen();
    m_window->raise();
    m_window->activateWindow();
    m_window->setFocus();
    m_display().setHost(m_window);
    m_control->update();
}

void FullScreen::leave()
{
    if (!m_window)
        return;
    QWidget *window = m_window.data();
    m_window = nullptr;
    emit changed();
    m_display().setHost(m_control);
    window->hide();
    window->deleteLater();
    if (QWidget *top = m_control->window()) {
        top->raise();
        top->activateWindow();
    }
    m_control->setFocus();
    m_control->update();
}

} // namespace playback::engine

#include "FullScreen.moc"
