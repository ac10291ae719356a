#include "app/Controls.h"

#include "app/Twips.h"

#include <QAbstractButton>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QWidget>

#include <cmath>

namespace app {

QFont windowFont(FontFace face, double points, bool bold)
{
    // Liberation Sans has Arial's metrics; MS Sans Serif's widths are close
    // enough to it that every caption designed for it fits.
    QFont f(QStringLiteral("Liberation Sans"));
    Q_UNUSED(face);
    f.setPixelSize(int(std::lround(points * 96.0 / 72.0)));
    f.setBold(bold);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

QFont defaultFont() { return windowFont(FontFace::MsSansSerif, 8.25); }

void place(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(twipsRectToPixels(left, top, width, height));
}

void setToolTipText(QWidget *w, const QString &text)
{
    w->setToolTip(text);
    w->setAccessibleDescription(text);
    // A control without a caption is named by its tooltip.
    if (auto *b = qobject_cast<QAbstractButton *>(w); b && b->text().isEmpty())
        w->setAccessibleName(text);
}

void setPicture(QLabel *label, const QPixmap &pic, const QString &toolTip, bool stretch)
{
    label->setPixmap(pic);
    label->setScaledContents(stretch);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setToolTipText(label, toolTip);
    label->setAccessibleName(toolTip);
}

namespace {

class EnterPresses : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (!enter || mods != Qt::NoModifier || key->isAutoRepeat())
            return false;
        static_cast<QAbstractButton *>(watched)->click();
        return true;
    }
};

} // namespace

void enterPressesFocusedButton(QWidget *window)
{
    auto *filter = new EnterPresses(window);
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>())
        b->installEventFilter(filter);
}

QPixmap picture(const QString &name) { return QPixmap(QStringLiteral(":/") + name); }

QIcon icon(const QString &name)
{
    QIcon result;
    QImageReader reader(QStringLiteral(":/") + name);
    do {
        const QImage image = reader.read();
        if (!image.isNull())
            result.addPixmap(QPixmap::fromImage(image));
    } while (reader.jumpToNextImage());
    return result;
}

} // namespace app
