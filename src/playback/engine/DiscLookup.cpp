#include "playback/engine/DiscLookup.h"

#include "playback/PlaybackError.h"
#include "playback/engine/FactsPrefetch.h"

namespace playback::engine {

DiscLookup::DiscLookup(const QString &argument) { setArgument(argument); }

DiscLookup::~DiscLookup() = default;

void DiscLookup::setArgument(const QString &argument)
{
    m_argument = argument;
    m_prefetch.reset();
    // Read before Play is pressed (see FactsPrefetch.h).
    if (!m_argument.isEmpty()) {
        if (const auto source = disc::sourceFromArgument(m_argument))
            m_prefetch = std::make_unique<FactsPrefetch>(*source);
    }
}

disc::Source DiscLookup::source(const QString &operation) const
{
    if (!m_argument.isEmpty()) {
        if (auto source = disc::sourceFromArgument(m_argument))
            return *source;
        throw PlaybackError(operation, disc::pathProblem(m_argument));
    }
    disc::Problem problem = disc::Problem::NoDisc;
    if (auto source = disc::findDiscInDrives(&problem))
        return *source;
    throw PlaybackError(operation, problem);
}

disc::Facts DiscLookup::facts(const disc::Source &source, const QString &operation, bool playable) const
{
    std::optional<disc::Facts> facts = m_prefetch ? m_prefetch->factsFor(source) : std::nullopt;
    disc::Problem problem = disc::Problem::None;
    if (!facts)
        facts = disc::readFacts(source, &problem);
    if (facts && playable && facts->firstPlayableTitle() == 0)
        problem = facts->titles.front().problem;
    if (!facts || (playable && problem != disc::Problem::None))
        throw PlaybackError(operation, problem);
    return *facts;
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
