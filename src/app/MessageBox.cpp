#include "app/MessageBox.h"

#include "app/X11.h"

#include <QMessageBox>

namespace app {

namespace {

MsgBoxPresenter &presenter()
{
    static MsgBoxPresenter p;
    return p;
}

} // namespace

void setMsgBoxPresenter(MsgBoxPresenter p) { presenter() = std::move(p); }

void MsgBox(const QString &text, MsgBoxStyle style, const QString &title)
{
    if (presenter()) {
        presenter()(text, style, title);
        return;
    }
    QMessageBox box(style == vbCritical ? QMessageBox::Critical : QMessageBox::Information, title, text,
                    QMessageBox::Ok);
    box.setObjectName(QStringLiteral("MsgBox"));
    box.setWindowModality(Qt::ApplicationModal);
    if (title.isEmpty())
        clearWindowTitle(&box);
    box.exec();
}

} // namespace app
