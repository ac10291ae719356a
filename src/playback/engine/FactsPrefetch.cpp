#include "playback/engine/FactsPrefetch.h"

#include "playback/engine/PlayerReaper.h"
#include "playback/engine/VlcInstance.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <mutex>
#include <thread>

namespace playback::engine {

namespace {

QString signatureOf(const QFileInfoList &files)
{
    QString signature;
    for (const QFileInfo &file : files) {
        signature += file.fileName() + QLatin1Char(' ') + QString::number(file.size()) + QLatin1Char(' ')
                     + QString::number(file.lastModified().toMSecsSinceEpoch()) + QLatin1Char('\n');
    }
    return signature;
}

} // namespace

QString discSignature(const disc::Source &source)
{
    switch (source.kind) {
    case disc::SourceKind::Image: {
        const QFileInfo image(source.path);
        return image.isFile() ? signatureOf({image}) : QString();
    }
    case disc::SourceKind::Folder: {
        const std::optional<QString> videoTs = disc::videoDirectory(source);
        if (!videoTs)
            return {};
        return signatureOf(QDir(*videoTs).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name));
    }
    case disc::SourceKind::Drive:
        break;
    }
    return {};
}

struct FactsPrefetch::Shared {
    disc::Source source;
    QString signature;
    std::mutex mutex;
    std::optional<disc::Facts> facts;
    std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
};

FactsPrefetch::FactsPrefetch(const disc::Source &source) : m_shared(std::make_shared<Shared>())
{
    m_shared->source = source;
    // Taken before reading: a change during the reading shows as a change.
    m_shared->signature = discSignature(source);
    if (m_shared->signature.isEmpty()) {
        m_shared->done->store(true);
        return;
    }
    std::thread reader([shared = m_shared] {
        std::optional<disc::Facts> facts = disc::readFacts(shared->source);
        {
            std::lock_guard lock(shared->mutex);
            shared->facts = std::move(facts);
        }
        vlcInstance(); // libvlc loads its plug-ins once, here rather than in the first Play
        shared->done->store(true);
    });
    reaper::adopt(std::move(reader), m_shared->done);
}

FactsPrefetch::~FactsPrefetch() = default;

std::optional<disc::Facts> FactsPrefetch::factsFor(const disc::Source &source) const
{
    if (source.kind != m_shared->source.kind || source.path != m_shared->source.path)
        return std::nullopt;
    {
        std::lock_guard lock(m_shared->mutex);
        if (!m_shared->facts)
            return std::nullopt;
    }
    if (discSignature(source) != m_shared->signature)
        return std::nullopt;
    std::lock_guard lock(m_shared->mutex);
    return m_shared->facts;
}

} // namespace playback::engine
