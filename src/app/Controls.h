#pragma once
// Helpers for building a window's controls: placement in twips, the classic
// fonts mapped to installed ones, tooltips that double as the accessible
// description, pictures from the resources.

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QWidget;
class QLabel;

namespace app {

enum class FontFace {
    MsSansSerif, // the classic dialog font
    Arial,
};

// A font of the given point size at 96 dpi, as a pixel size so that layout does
// not depend on the screen's reported resolution.
QFont windowFont(FontFace face, double points, bool bold = false);

// The default font of every window: MS Sans Serif 8.25 pt.
QFont defaultFont();

// Places w at (left, top) with the given size, all in twips, relative to its parent.
void place(QWidget *w, int left, int top, int width, int height);

// Sets the tooltip, and the same text as the accessible description.
void setToolTipText(QWidget *w, const QString &text);

// A picture label: shows the picture, and takes its tooltip as accessible name.
void setPicture(QLabel *label, const QPixmap &picture, const QString &toolTip, bool stretch = false);

// Enter and Space both press a button that has the focus, in every button of
// window (Space does so by itself; Enter only for a dialog's default button).
void enterPressesFocusedButton(QWidget *window);

QPixmap picture(const QString &name); // ":/name"
QIcon icon(const QString &name);      // ":/name", every size in the file

} // namespace app
