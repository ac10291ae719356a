#pragma once
// Modal message boxes with one OK button, in the two styles the windows use.

#include <QString>

#include <functional>

namespace app {

enum MsgBoxStyle { vbCritical = 16, vbInformation = 64 };

// Shows the box and returns when the user has closed it. The title is used
// exactly as given, an empty one included.
void MsgBox(const QString &text, MsgBoxStyle style, const QString &title);

// Tests replace the modal box with a recorder; nullptr restores the real one.
using MsgBoxPresenter = std::function<void(const QString &text, MsgBoxStyle style, const QString &title)>;
void setMsgBoxPresenter(MsgBoxPresenter presenter);

} // namespace app
