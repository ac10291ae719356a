#pragma once
// What an operation of the playback control throws when it fails. Any thread.

#include "app/Errors.h"
#include "playback/disc/Problem.h"

#include <QString>

namespace playback {

// A failed operation. The message names the operation and the reason in plain
// words ("Eject: the drive is busy.") so that it can be shown as it is.
class PlaybackError : public app::AppError {
public:
    PlaybackError(const QString &operation, const QString &reason);
    // A disc that cannot be played, or played on: the reason is the problem's sentence.
    PlaybackError(const QString &operation, disc::Problem problem);
    QString operation() const { return m_operation; }
    QString reason() const { return m_reason; }
    disc::Problem problem() const { return m_problem; } // None when the disc is not the cause

private:
    QString m_operation;
    QString m_reason;
    disc::Problem m_problem = disc::Problem::None;
};

} // namespace playback
