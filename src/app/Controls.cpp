#include "app/Controls.h"

#include "app/Twips.h"

#include <QAbstractButton>
#include <QImageReader>
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
