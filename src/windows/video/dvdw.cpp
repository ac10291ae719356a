#include "windows/video/dvdw.h"

#include "app/Controls.h"
#include "app/Failure.h"
#include "app/Twips.h"
#include "windows/control/Form2.h"


#include <QDropEvent>

#include <cfenv>
#include <cmath>

// A utility window, but not a Qt::Tool: X11 window managers keep a tool window
// above every other window of the program, and the control window must be able
// to come to the front.
dvdw::dvdw() : app::Form(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setAttribute(Qt::WA_X11NetWmWindowTypeUtility);
    // Start-up ends with the control window in front: the video window must not take the focus when it appears.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setObjectName(QStringLiteral("dvdw"));
    setWindowTitle(QStringLiteral("Orvanta Player - Version 2.0"));
    setFont(app::defaultFont());
    setClientSizeTwips(8460, 6435);
    hideTaskbarButton();
    setAcceptDrops(true);

    dvd = playback::PlaybackControl::create(this);
    app::place(dvd, 120, 120, 7575, 5655);
}

void dvdw::Form_Load() { app::Forms::show<Form2>(); }

void dvdw::Form_Resize()
{
    app::StepRunner step;
    step([this] {
        std::feclearexcept(FE_ALL_EXCEPT);
        const float ScaleWidth = float(app::pixelsToTwips(width()));
        const float ScaleHeight = float(app::pixelsToTwips(height()));
        const float W = ScaleWidth - 1.0f;
        const float H = ScaleHeight - 1.0f;
        if (std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW))
            throw app::Overflow(QStringLiteral("the video window's size"));
        dvd->Move(1, 1, W, H);
    });
}

void dvdw::resizeEvent(QResizeEvent *event)
{
    app::Form::resizeEvent(event);
    app::runHandler([this] { Form_Resize(); });
}

void dvdw::dragEnterEvent(QDragEnterEvent *event)
{
    if (!Form2::discIn(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void dvdw::dropEvent(QDropEvent *event)
{
    const QString disc = Form2::discIn(event->mimeData());
    if (disc.isEmpty())
        return;
    event->acceptProposedAction();
    app::runHandler([&] { app::Forms::get<Form2>().Form_DiscDropped(disc); });
}

playback::PlaybackControl &dvd() { return *app::Forms::get<dvdw>().dvd; }
