#include "playback/PlaybackControl.h"

#include "app/Twips.h"

#include <cmath>

namespace playback {

namespace {

PlaybackControl::Factory &factory()
{
    static PlaybackControl::Factory f;
    return f;
}

} // namespace

PlaybackControl::PlaybackControl(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("dvd"));
    setFocusPolicy(Qt::StrongFocus); // the only control of the video window that takes the focus
}

PlaybackControl::~PlaybackControl() = default;

void PlaybackControl::Move(double left, double top, double width, double height)
{
    if (!(width >= 0.0) || !(height >= 0.0) || !std::isfinite(left) || !std::isfinite(top))
        throw app::InvalidArgument(QStringLiteral("the playback control cannot be placed with a negative size"));
    setGeometry(app::twipsRectToPixels(left, top, width, height));
}

void PlaybackControl::setDisc(const QString &)
{
    throw PlaybackError(QStringLiteral("setDisc"), QStringLiteral("this control plays one disc only."));
}

Variant PlaybackControl::VolumeName()
{
    throw PlaybackError(QStringLiteral("VolumeName"), QStringLiteral("this control cannot read it."));
}

void PlaybackControl::setPlaying(bool playing)
{
    if (playing == m_playing)
        return;
    m_playing = playing;
    emit playingChanged(playing);
}

void PlaybackControl::setFactory(Factory f) { factory() = std::move(f); }

PlaybackControl *PlaybackControl::create(QWidget *parent)
{
    if (!factory())
        throw app::AppError(QStringLiteral("No playback component is installed."));
    return factory()(parent);
}

} // namespace playback
