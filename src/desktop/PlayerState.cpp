#include "desktop/PlayerState.h"

#include <QDBusObjectPath>

namespace desktop {

QVariantMap MediaState::metadata() const
{
    if (title < 1)
        return {{QStringLiteral("mpris:trackid"),
                 QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")))}};
    QVariantMap m;
    m[QStringLiteral("mpris:trackid")] =
        QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/orvanta/title/%1").arg(title)));
    m[QStringLiteral("mpris:length")] = lengthUs;
    m[QStringLiteral("xesam:title")] = QStringLiteral("Title %1 \u00b7 Chapter %2").arg(title).arg(chapter);
    if (!album.isEmpty())
        m[QStringLiteral("xesam:album")] = album;
    return m;
}

void PlayerState::setState(const MediaState &state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit changed();
}

} // namespace desktop
