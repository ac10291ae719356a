#include "playback/engine/DiscLookup.h"

#include "playback/PlaybackControl.h"
#include "playback/engine/FactsPrefetch.h"

namespace playback::engine {

DiscLookup::DiscLookup(const QString &argument) : m_argument(argument)
{
    // Read before Play is pressed (see FactsPrefetch.h).
    if (!m_argument.isEmpty()) {
        if (const auto source = disc::sourceFromArgument(m_argument))
            m_prefetch = std::make_unique<FactsPrefetch>(*source);
    }
}

DiscLookup::~DiscLookup() = default;

disc::Source DiscLookup::source(const QString &operation) const
{
    if (!m_argument.isEmpty()) {
        if (auto source = disc::sourceFromArgument(m_argument))
            return *source;
        throw PlaybackError(operation, QStringLiteral("the disc \"%1\" cannot be found.").arg(m_argument));
    }
    if (auto source = disc::findDiscInDrives())
        return *source;
    throw PlaybackError(operation, QStringLiteral("there is no disc in the drive."));
}

disc::Facts DiscLookup::facts(const disc::Source &source, const QString &operation) const
{
    if (m_prefetch) {
        if (auto facts = m_prefetch->factsFor(source))
            return *facts;
    }
    QString reason;
    if (auto facts = disc::readFacts(source, &reason))
        return *facts;
    throw PlaybackError(operation, reason.isEmpty() ? QStringLiteral("there is no playable disc.") : reason);
}

std::optional<disc::Source> DiscLookup::ejectable() const
{
    if (!m_argument.isEmpty())
        return disc::sourceFromArgument(m_argument);
    const QStringList drives = disc::opticalDrives();
    if (drives.isEmpty())
        return std::nullopt;
    return disc::Source{disc::SourceKind::Drive, drives.first()};
}

} // namespace playback::engine
