// The transport buttons: Play, Pause/Continue, the chapter buttons, Stop, Eject
// and Full Screen. The Pause/Continue state is Command2's tooltip; the play
// state is which status icon is visible.

#include "windows/control/Form2.h"

#include "app/Controls.h"
#include "app/Failure.h"
#include "app/MessageBox.h"
#include "playback/PlaybackControl.h"
#include "windows/video/dvdw.h"

#include <QAbstractButton>
#include <QLabel>

using app::StepRunner;

void Form2::setStatusIcons(bool play, bool pause, bool stop, bool cueForward, bool cueReverse)
{
    Image12->setVisible(play);
    Image13->setVisible(pause);
    Image14->setVisible(stop);
    Image15->setVisible(cueForward);
    Image16->setVisible(cueReverse);
}

namespace {

// The cause of a failure as a sentence of its own, for the line under a message.
QString sentence(QString cause)
{
    cause = cause.trimmed();
    if (cause.isEmpty())
        return cause;
    cause[0] = cause[0].toUpper();
    return cause.endsWith(QLatin1Char('.')) ? cause : cause + QLatin1Char('.');
}

void showError(const QString &message, const QString &cause)
{
    const QString line = sentence(cause);
    app::MsgBox(line.isEmpty() ? message : message + QLatin1Char('\n') + line, app::vbCritical, QString());
}

} // namespace

namespace {
const QString kPlayError = QStringLiteral("Error trying to play the DVD! No disc detected in drive.");
}

// Trapped: whatever fails, the user gets the one message, with the cause under
// it when the control gives one, and the icons stay. A disc still being read
// (a drive spinning up) finishes in dvd_PlayStarted.
void Form2::Command1_Click()
{
    try {
        dvd().Play();
        if (!dvd().isStarting())
            setStatusIcons(true, false, false, false, false);
    } catch (const playback::PlaybackError &e) {
        showError(kPlayError, e.reason());
    } catch (...) {
        showError(kPlayError, QString());
    }
}

void Form2::dvd_PlayStarted(const QString &failure)
{
    if (failure.isEmpty())
        setStatusIcons(true, false, false, false, false);
    else
        showError(kPlayError, failure);
}

// The disc stopped playing on its own: at its end, or because it could not be
// read any further. Either way the panel says Stop; a failure is also shown.
void Form2::dvd_PlaybackStopped(const QString &failure)
{
    setStatusIcons(false, false, true, false, false);
    if (!failure.isEmpty())
        showError(QStringLiteral("Error playing the DVD!"), failure);
}

// Continue-on-error. Pausing calls the control before turning the tooltip,
// continuing turns it first; with no disc both still alternate.
void Form2::Command2_Click()
{
    StepRunner step;
    if (step.test([&] { return Command2->toolTip() == QLatin1String("Pause"); })) {
        step([&] { dvd().Pause(); });
        step([&] { setStatusIcons(false, true, false, false, false); });
        step([&] { app::setToolTipText(Command2, QStringLiteral("Continue")); });
    } else if (step.test([&] { return Command2->toolTip() == QLatin1String("Continue"); })) {
        step([&] { app::setToolTipText(Command2, QStringLiteral("Pause")); });
        step([&] { dvd().Resume(); });
        step([&] { setStatusIcons(true, false, false, false, false); });
    }
}

void Form2::Command3_Click()
{
    StepRunner step;
    step([&] { dvd().PlayNextChapter(); });
}

void Form2::Command4_Click()
{
    StepRunner step;
    step([&] { dvd().PlayPrevChapter(); });
}

// Continue-on-error: the Stop icon shows even when the control refuses.
void Form2::Command5_Click()
{
    StepRunner step;
    step([&] { dvd().Stop(); });
    step([&] { setStatusIcons(false, false, true, false, false); });
}

// No handling of its own: a failure ends the handler and is shown at the event boundary.
void Form2::Command6_Click() { dvd().Eject(); }

// No handling of its own. The hint comes first: the control only switches
// after the user has closed it.
void Form2::Command8_Click()
{
    app::MsgBox(QStringLiteral("Press ALT + F4 to exit the Full Screen mode."), app::vbInformation,
                QStringLiteral("Info"));
    dvd().setFullScreenMode(playback::Variant::fromBool(true));
}
