#pragma once
// Shared set-up for window tests: the fake control, recorded message boxes,
// and a clean slate between test functions.

#include "app/Form.h"
#include "app/MessageBox.h"
#include "support/FakeDvd.h"

#include <QList>
#include <QString>

class Form2;

struct ShownMsgBox {
    QString text;
    app::MsgBoxStyle style;
    QString title;
};

namespace windowtest {

// Installs FakeDvd and the message-box recorder. Call from initTestCase().
void setUp();
// Unloads every window, clears the recorded boxes and the shared subtitle table.
// Call from init() or cleanup().
void reset();
// Message boxes shown since the last reset().
QList<ShownMsgBox> &msgBoxes();
// Delivers pending deleteLater()s and posted events.
void settle();
// Shows the control window with its status timer stopped: tests tick it by hand,
// and ticks would mix their reads into the calls a test records.
Form2 &showControlWindow();
// Shows a window by its class name: Form2, dvdw, dvdinfo, subtitles or frmAbout.
app::Form &showWindow(const QString &name);
// The names of the status icons shown, comma-separated.
QString visibleStatusIcons(const Form2 &form);

} // namespace windowtest
