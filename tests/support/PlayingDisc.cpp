#include "support/PlayingDisc.h"

#include <QDebug>

namespace testsupport {

std::optional<FrameStamp> PlayingDisc::onScreen() const { return sampledisc::readFrameStamp(dvd->lastFrame()); }

bool PlayingDisc::waitFor(const std::function<bool(const FrameStamp &)> &pred, int timeoutMs)
{
    QStringList seen;
    const bool found = QTest::qWaitFor(
        [&] {
            const auto s = onScreen();
            const QString shown = s ? QStringLiteral("%1.%2.%3").arg(s->title).arg(s->chapter).arg(s->frame)
                                    : QStringLiteral("-");
            if (seen.isEmpty() || seen.last() != shown)
                seen << shown;
            return s && pred(*s);
        },
        timeoutMs);
    if (!found)
        qWarning() << "shown (title.chapter.frame):" << seen.mid(std::max<qsizetype>(0, seen.size() - 60)).join(' ');
    return found;
}

void PlayingDisc::play(const QString &disc)
{
    dvd = std::make_unique<playback::engine::VlcPlaybackControl>(disc);
    dvd->resize(360, 288);
    dvd->Play();
}

} // namespace testsupport
