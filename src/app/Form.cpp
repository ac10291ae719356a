#include "app/Form.h"

#include "app/Failure.h"
#include "app/Twips.h"
#include "app/X11.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>

#include <map>

namespace app {

namespace {

std::map<std::type_index, Form *> &registry()
{
    static std::map<std::type_index, Form *> r;
    return r;
}

} // namespace

Form::Form(Qt::WindowFlags flags) : QWidget(nullptr, flags) {}

Form::~Form()
{
    // A window destroyed without Unload (at program exit) leaves the registry too.
    Forms::instance().remove(this);
}

void Form::Show()
{
    show();
    raise();
    // A window that must not take the focus when it appears is not activated either.
    if (!testAttribute(Qt::WA_ShowWithoutActivating))
        activateWindow();
}

void Form::ShowModal()
{
    QPointer<Form> self(this);
    QEventLoop loop;
    connect(this, &Form::unloaded, &loop, &QEventLoop::quit);
    setWindowModality(Qt::ApplicationModal);
    Show();
    if (self && m_loaded)
        loop.exec();
}

void Form::Unload()
{
    if (!m_loaded || m_unloading)
        return;
    m_unloading = true;
    try {
        Form_Unload();
    } catch (...) {
        m_unloading = false;
        throw;
    }
    hide();
    Forms::instance().remove(this);
    emit unloaded();
    deleteLater();
}

void Form::setClientSizeTwips(int width, int height) { resize(twipsToPixels(width), twipsToPixels(height)); }

void Form::setFixedClientSizeTwips(int width, int height)
{
    setFixedSize(twipsToPixels(width), twipsToPixels(height));
}

void Form::centreOnScreen() { m_centre = true; }

void Form::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The native window exists now and is not mapped yet: what the window manager
    // must know before it places the window goes here.
    if (!m_taskbarButton)
        setSkipTaskbar(this);
    if (m_centre && !event->spontaneous()) {
        // Centred by the client size alone, the window would sit half a title bar low.
        m_centre = false;
        QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            const QMargins frame = frameExtents(this).value_or(QMargins());
            QRect r = rect().marginsAdded(frame);
            r.moveCenter(screen->availableGeometry().center());
            setGeometry(r.marginsRemoved(frame));
        }
    }
}

void Form::closeEvent(QCloseEvent *event)
{
    if (!m_loaded || m_unloading) {
        event->accept();
        return;
    }
    if (!acceptsCloseRequest()) {
        event->ignore();
        return;
    }
    event->ignore(); // Unload hides and discards the window itself
    runHandler([this] { Unload(); });
}

Forms &Forms::instance()
{
    static Forms forms;
    return forms;
}

int Forms::loadedCount() { return int(registry().size()); }

void Forms::unloadAll()
{
    while (!registry().empty()) {
        Form *form = registry().begin()->second;
        runHandler([form] { form->Unload(); });
        if (form->m_loaded)
            return; // it would not go
    }
}

void Forms::add(std::type_index type, Form *form)
{
    registry()[type] = form;
    form->m_loaded = true;
}

Form *Forms::find(std::type_index type) const
{
    auto it = registry().find(type);
    return it == registry().end() ? nullptr : it->second;
}

void Forms::remove(Form *form)
{
    auto &r = registry();
    for (auto it = r.begin(); it != r.end(); ++it) {
        if (it->second == form) {
            r.erase(it);
            form->m_loaded = false;
            if (r.empty())
                emit lastFormUnloaded();
            return;
        }
    }
}

} // namespace app
