#include "support/WindowTest.h"

#include "app/Form.h"
#include "startup/Module1.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace windowtest {

QList<ShownMsgBox> &msgBoxes()
{
    static QList<ShownMsgBox> boxes;
    return boxes;
}

void setUp()
{
    FakeDvd::install();
    app::setMsgBoxPresenter([](const QString &text, app::MsgBoxStyle style, const QString &title) {
        msgBoxes().append({text, style, title});
    });
}

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void reset()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *f = qobject_cast<app::Form *>(w); f && f->isLoaded())
            f->Unload();
    }
    settle();
    msgBoxes().clear();
    Module1::SubtitleLanguages.fill(QString());
    Module1::SubtitleStreamCount = 0;
}

} // namespace windowtest
