#include "playback/PlaybackError.h"

namespace playback {

PlaybackError::PlaybackError(const QString &operation, const QString &reason)
    : app::AppError(QStringLiteral("%1: %2").arg(operation, reason)), m_operation(operation), m_reason(reason)
{
}

PlaybackError::PlaybackError(const QString &operation, disc::Problem problem)
    : PlaybackError(operation, disc::describe(problem))
{
    m_problem = problem;
}

} // namespace playback
