// The mute and subtitle toggles. Neither handles failures itself: a write the
// control refuses ends the handler there, so Muted, Image11 and Subs always
// match the last write the control accepted.

#include "windows/control/Form2.h"

#include "app/ClickableLabel.h"
#include "windows/video/dvdw.h"

#include <QLabel>

using playback::Variant;

namespace {
constexpr std::int16_t kTrue = -1;
constexpr std::int16_t kFalse = 0;
} // namespace

// The mute state is never read back from the control: Muted is its only record.
void Form2::Command10_Click()
{
    if (Muted == kFalse) {
        dvd().setMute(Variant::fromBool(true));
        Muted = kTrue;
    } else if (Muted == kTrue) {
        dvd().setMute(Variant::fromBool(false));
        Muted = kFalse;
    }
    if (Muted == kTrue)
        Image11->setVisible(true);
    else
        Image11->setVisible(false);
}

// The subtitle state is the control's own; it is read afresh before each decision.
void Form2::Command9_Click()
{
    if (dvd().SubpictureOn().toBool()) {
        dvd().setSubpictureOn(Variant::fromBool(false));
        Subs->setVisible(false);
    } else if (!dvd().SubpictureOn().toBool()) {
        dvd().setSubpictureOn(Variant::fromBool(true));
        Subs->setVisible(true);
    }
}
