#include "app/ClickableLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>

namespace app {

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

namespace {

class AccessibleClickableLabel : public QAccessibleWidget {
public:
    explicit AccessibleClickableLabel(QWidget *w) : QAccessibleWidget(w, QAccessible::StaticText)
    {
        addControllingSignal(QStringLiteral("clicked()"));
    }
    QString text(QAccessible::Text t) const override
    {
        QString s = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && s.isEmpty())
            s = static_cast<QLabel *>(widget())->text();
        return s;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        if (name == pressAction())
            emit static_cast<ClickableLabel *>(widget())->clicked();
    }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("app::ClickableLabel") && object && object->isWidgetType())
        return new AccessibleClickableLabel(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

void installClickableLabelAccessibility()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(factory);
        installed = true;
    }
}

} // namespace app
