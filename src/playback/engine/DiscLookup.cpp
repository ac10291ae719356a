#include "playback/engine/DiscLookup.h"

#include "playback/PlaybackError.h"
#include "playback/engine/PlayerReaper.h"
#include "playback/engine/VlcInstance.h"

#include <QMetaObject>

#include <atomic>
#include <mutex>
#include <thread>

namespace playback::engine {

// One reading of the disc, shared with its thread.
struct DiscLookup::Reading {
    QString argument;
    QString signature; // taken before reading: a change during the reading shows as a change
    std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
    // Filled by the thread before done is set.
    std::optional<disc::Source> source;
    disc::Facts facts;
    disc::Problem problem = disc::Problem::None;
    // Who hears of the end; cleared when the lookup goes.
    std::mutex mutex;
    DiscLookup *owner = nullptr;
};

namespace {

void readDisc(const QString &argument, std::optional<disc::Source> &source, disc::Facts &facts, disc::Problem &problem)
{
    if (argument.isEmpty()) {
        problem = disc::Problem::NoDisc;
        source = disc::findDiscInDrives(&problem, &facts);
        if (source)
            problem = disc::Problem::None;
        return;
    }
    source = disc::sourceFromArgument(argument);
    if (!source) {
        problem = disc::pathProblem(argument);
        return;
    }
    if (std::optional<disc::Facts> read = disc::readFacts(*source, &problem))
        facts = std::move(*read);
    else if (problem == disc::Problem::None)
        problem = disc::Problem::Unreadable;
}

} // namespace

QString stillBeingRead() { return QStringLiteral("the disc is still being read."); }

DiscLookup::DiscLookup(const QString &argument, QObject *parent) : QObject(parent)
{
    connect(&m_media, &disc::MediaWatch::mediaChanged, this, &DiscLookup::mediaChanged);
    setArgument(argument);
}

DiscLookup::~DiscLookup()
{
    if (m_reading) {
        std::lock_guard lock(m_reading->mutex);
        m_reading->owner = nullptr;
    }
}

void DiscLookup::setArgument(const QString &argument)
{
    m_argument = argument;
    // Read before Play is pressed: the disc's facts, and libvlc's plug-ins after them.
    startReading(signature());
}

void DiscLookup::forget()
{
    ++m_generation;
    startReading(signature());
}

bool DiscLookup::hearsMediaChanges() const { return m_media.isWatching(); }

void DiscLookup::forgetWhatWasRead()
{
    if (m_reading && m_reading->done->load())
        forget();
}

bool DiscLookup::readAgain()
{
    if (!m_argument.isEmpty() && !disc::sourceFromArgument(m_argument))
        return false;
    forget();
    return true;
}

bool DiscLookup::inDrive() const
{
    if (m_argument.isEmpty())
        return true;
    const std::optional<disc::Source> named = disc::sourceFromArgument(m_argument);
    return named && named->kind == disc::SourceKind::Drive;
}

QString DiscLookup::signature() const
{
    QString signature = QString::number(m_generation) + QLatin1Char('\n') + m_argument + QLatin1Char('\n');
    if (!m_argument.isEmpty()) {
        if (const std::optional<disc::Source> source = disc::sourceFromArgument(m_argument))
            signature += disc::discSignature(*source);
        return signature;
    }
    for (const QString &drive : disc::opticalDrives())
        signature += disc::discSignature(disc::Source{disc::SourceKind::Drive, drive}) + QLatin1Char('\n');
    return signature;
}

void DiscLookup::startReading(const QString &signature)
{
    if (m_reading) {
        std::lock_guard lock(m_reading->mutex);
        m_reading->owner = nullptr; // its answer would be for another disc
    }
    auto reading = std::make_shared<Reading>();
    reading->argument = m_argument;
    reading->signature = signature;
    reading->owner = this;
    m_reading = reading;
    std::thread thread([reading] {
        readDisc(reading->argument, reading->source, reading->facts, reading->problem);
        vlcInstance(); // libvlc loads its plug-ins once, here rather than in the first Play
        reading->done->store(true);
        std::lock_guard lock(reading->mutex);
        if (reading->owner)
            QMetaObject::invokeMethod(reading->owner, &DiscLookup::read, Qt::QueuedConnection);
    });
    reaper::adopt(std::move(thread), reading->done);
}

std::optional<DiscLookup::Disc> DiscLookup::lookup(const QString &operation, bool playable)
{
    // A name that leads nowhere is refused at once; there is nothing to read.
    if (!m_argument.isEmpty() && !disc::sourceFromArgument(m_argument))
        throw PlaybackError(operation, disc::pathProblem(m_argument));
    const QString now = signature();
    if (!m_reading || m_reading->signature != now) {
        startReading(now);
        return std::nullopt;
    }
    if (!m_reading->done->load())
        return std::nullopt;
    const Reading &done = *m_reading;
    disc::Problem problem = done.problem;
    if (problem == disc::Problem::None && playable && done.facts.firstPlayableTitle() == 0)
        problem = done.facts.titles.front().problem;
    if (!done.source || done.facts.titles.empty() || (playable && problem != disc::Problem::None))
        throw PlaybackError(operation, problem);
    return Disc{*done.source, done.facts};
}

disc::Source DiscLookup::source(const QString &operation)
{
    if (!m_argument.isEmpty()) {
        if (std::optional<disc::Source> named = disc::sourceFromArgument(m_argument))
            return *named;
        throw PlaybackError(operation, disc::pathProblem(m_argument));
    }
    if (std::optional<Disc> found = lookup(operation))
        return found->source;
    throw PlaybackError(operation, stillBeingRead());
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
