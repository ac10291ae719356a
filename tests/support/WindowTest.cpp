#include "support/WindowTest.h"

#include "app/Form.h"
#include "startup/Module1.h"
#include "windows/control/Form2.h"
#include "windows/dialogs/dvdinfo.h"
#include "windows/dialogs/frmAbout.h"
#include "windows/dialogs/subtitles.h"
#include "windows/video/dvdw.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>
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

Form2 &showControlWindow()
{
    Form2 &form = app::Forms::show<Form2>();
    form.Timer1->stop();
    return form;
}

app::Form &showWindow(const QString &name)
{
    if (name == QLatin1String("dvdinfo"))
        return app::Forms::show<dvdinfo>();
    if (name == QLatin1String("subtitles"))
        return app::Forms::show<subtitles>();
    if (name == QLatin1String("frmAbout"))
        return app::Forms::show<frmAbout>();
    if (name == QLatin1String("dvdw"))
        return app::Forms::show<dvdw>();
    return app::Forms::show<Form2>();
}

QString visibleStatusIcons(const Form2 &form)
{
    QStringList shown;
    for (QLabel *img : {form.Image12, form.Image13, form.Image14, form.Image15, form.Image16})
        if (img->isVisible())
            shown << img->objectName();
    return shown.join(',');
}

} // namespace windowtest
