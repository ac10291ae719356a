// The control window's openers of the About box, the disc information dialog
// and the subtitle language dialog. None handles failure itself: runHandler()
// at the event boundary reports what escapes.

#include "windows/control/Form2.h"

#include "app/ClickableLabel.h"
#include "app/Failure.h"
#include "windows/dialogs/dvdinfo.h"
#include "windows/dialogs/frmAbout.h"
#include "windows/dialogs/subtitles.h"

#include <QAbstractButton>

// Modal, no owner: returns once the box has been closed.
void Form2::Command7_Click() { app::Forms::showModal<frmAbout>(); }

// Modeless, no owner: returns at once; an open dialog is only raised, not read again.
void Form2::Command13_Click() { app::Forms::show<dvdinfo>(); }

// Modeless, no owner: an open dialog is only raised, its list not refilled.
void Form2::Subs_Click() { app::Forms::show<subtitles>(); }

void Form2::connectDialogHandlers()
{
    app::onEvent(Command7, &QAbstractButton::clicked, this, &Form2::Command7_Click);
    app::onEvent(Command13, &QAbstractButton::clicked, this, &Form2::Command13_Click);
    app::onEvent(Subs, &app::ClickableLabel::clicked, this, &Form2::Subs_Click);
}
