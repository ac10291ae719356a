#include "playback/engine/ScanWorker.h"

#include "playback/engine/FullScreenWindow.h"
#include "playback/engine/PlayerReaper.h"
#include "playback/engine/TitleStills.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace playback::engine {

namespace {

const QEvent::Type kPictureEvent = QEvent::Type(QEvent::registerEventType());

struct PictureEvent : QEvent {
    PictureEvent(QImage p, std::int64_t m, int t) : QEvent(kPictureEvent), picture(std::move(p)), ms(m), title(t) {}
    QImage picture;
    std::int64_t ms;
    int title;
};

struct Request {
    int title = 0;
    std::int64_t ms = 0;
    QSize size;
    double aspect = 0.0;
};

} // namespace

struct ScanWorker::Shared {
    QString discPath;
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Request> pending;
    bool stop = false;
    QObject *receiver = nullptr; // cleared, under the lock, before the receiver goes
    std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
};

ScanWorker::ScanWorker(const QString &discPath, QObject *parent)
    : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_shared->discPath = discPath;
    m_shared->receiver = this;
    m_thread = std::thread(&ScanWorker::run, m_shared);
}

ScanWorker::~ScanWorker()
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stop = true;
        m_shared->receiver = nullptr;
    }
    m_shared->wake.notify_one();
    reaper::adopt(std::move(m_thread), m_shared->done);
}

void ScanWorker::request(int title, std::int64_t ms, const QSize &size, double aspect)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->pending = Request{title, ms, size, aspect};
    }
    m_shared->wake.notify_one();
}

bool ScanWorker::event(QEvent *event)
{
    if (event->type() == kPictureEvent) {
        auto *e = static_cast<PictureEvent *>(event);
        emit pictureReady(e->picture, qint64(e->ms), e->title);
        return true;
    }
    return QObject::event(event);
}

void ScanWorker::run(std::shared_ptr<Shared> shared)
{
    std::unique_ptr<TitleStills> stills;
    std::int64_t lastMs = -1;
    QSize lastSize;
    for (;;) {
        Request request;
        {
            std::unique_lock lock(shared->mutex);
            shared->wake.wait(lock, [&] { return shared->stop || shared->pending; });
            if (shared->stop)
                break;
            request = *shared->pending;
            shared->pending.reset();
        }
        if (!stills || stills->title() != request.title) {
            stills = std::make_unique<TitleStills>(shared->discPath, request.title);
            lastMs = -1;
        }
        const auto still = stills->pictureAt(request.ms);
        if (!still || (still->ms == lastMs && request.size == lastSize))
            continue; // unreadable here, or the picture already sent
        lastMs = still->ms;
        lastSize = request.size;
        QImage picture = still->image;
        if (!request.size.isEmpty()) {
            picture = QImage(request.size, QImage::Format_RGB32);
            QPainter painter(&picture);
            paintPicture(painter, picture.rect(), still->image, request.aspect);
        }
        std::lock_guard lock(shared->mutex);
        if (shared->receiver)
            QCoreApplication::postEvent(shared->receiver, new PictureEvent(std::move(picture), still->ms, request.title));
    }
    shared->done->store(true);
}

} // namespace playback::engine
