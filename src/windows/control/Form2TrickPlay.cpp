// Fast Forward and Fast Backwards step one shared speed, kept as Speed's
// caption, through x1, x2, x4, x8. The caption moves before the control is
// asked, so a refused speed still steps the label.

#include "windows/control/Form2.h"

#include "app/Failure.h"
#include "windows/video/dvdw.h"

#include <QLabel>

using app::StepRunner;
using playback::Variant;

void Form2::Command11_Click()
{
    StepRunner step;
    auto is = [&](const char *caption) { return step.test([&] { return Speed->text() == QLatin1String(caption); }); };
    if (is("x1")) {
        step([&] { Speed->setText(QStringLiteral("x2")); });
        step([&] { dvd().PlayForwards(Variant::fromDouble(2.0)); });
    } else if (is("x2")) {
        step([&] { Speed->setText(QStringLiteral("x4")); });
        step([&] { dvd().PlayForwards(Variant::fromDouble(4.0)); });
    } else if (is("x4")) {
        step([&] { Speed->setText(QStringLiteral("x8")); });
        step([&] { dvd().PlayForwards(Variant::fromDouble(8.0)); });
    } else if (is("x8")) {
        step([&] { Speed->setText(QStringLiteral("x1")); });
        step([&] { dvd().PlayForwards(Variant::fromDouble(1.0)); });
    }
    step([&] { setStatusIcons(false, false, false, true, false); });
}

// From x1 it jumps to the fastest reverse speed and halves from there.
void Form2::Command12_Click()
{
    StepRunner step;
    auto is = [&](const char *caption) { return step.test([&] { return Speed->text() == QLatin1String(caption); }); };
    if (is("x1")) {
        step([&] { Speed->setText(QStringLiteral("x8")); });
        step([&] { dvd().PlayBackwards(Variant::fromDouble(8.0)); });
    } else if (is("x8")) {
        step([&] { Speed->setText(QStringLiteral("x4")); });
        step([&] { dvd().PlayBackwards(Variant::fromDouble(4.0)); });
    } else if (is("x4")) {
        step([&] { Speed->setText(QStringLiteral("x2")); });
        step([&] { dvd().PlayBackwards(Variant::fromDouble(2.0)); });
    } else if (is("x2")) {
        step([&] { Speed->setText(QStringLiteral("x1")); });
        step([&] { dvd().PlayBackwards(Variant::fromDouble(1.0)); });
    }
    step([&] { setStatusIcons(false, false, false, false, true); });
}
