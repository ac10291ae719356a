#pragma once
// A label that reacts to a click, and to the accessibility press action.

#include <QLabel>

namespace app {

class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

// Registers the accessible interface that offers the press action.
void installClickableLabelAccessibility();

} // namespace app
