#include "playback/engine/ScanWorker.h"

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
const QEvent::Type kLandingEvent = QEvent::Type(QEvent::registerEventType());
const QEvent::Type kMuxLeadEvent = QEvent::Type(QEvent::registerEventType());
const QEvent::Type kChapterStartEvent = QEvent::Type(QEvent::registerEventType());

// A seek lands within about a second after its time: four GOPs of half a second cover it.
constexpr int kLandingVobus = 4;

struct PictureEvent : QEvent {
    PictureEvent(QImage p, std::int64_t m, int t) : QEvent(kPictureEvent), picture(std::move(p)), ms(m), title(t) {}
    QImage picture;
    std::int64_t ms;
    int title;
};

struct LandingEvent : QEvent {
    LandingEvent(KnownPictures p, int t) : QEvent(kLandingEvent), pictures(std::move(p)), title(t) {}
    KnownPictures pictures;
    int title;
};

struct MuxLeadEvent : QEvent {
    MuxLeadEvent(std::int64_t m, int t) : QEvent(kMuxLeadEvent), ms(m), title(t) {}
    std::int64_t ms;
    int title;
};

struct ChapterStartEvent : QEvent {
    ChapterStartEvent(QImage p, std::int64_t m, std::uint64_t h, int t, int c)
        : QEvent(kChapterStartEvent), picture(std::move(p)), ms(m), hash(h), title(t), chapter(c)
    {
    }
    QImage picture;
    std::int64_t ms;
    std::uint64_t hash;
    int title, chapter;
};

struct Request {
    int title = 0;
    std::int64_t ms = 0; // the chapter, for a chapter's start
    QSize size;
};

// The picture drawn at size with the disc's display aspect (black bars); an empty size keeps it as decoded.
QImage drawn(const QImage &image, const QSize &size, double aspect)
{
    if (size.isEmpty())
        return image;
    QImage picture(size, QImage::Format_RGB32);
    QPainter painter(&picture);
    paintPicture(painter, picture.rect(), image, aspect);
    return picture;
}

} // namespace

struct ScanWorker::Shared {
    QString discPath;
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Request> pending;
    std::optional<Request> landing;
    std::optional<int> muxLeadTitle;
    std::optional<Request> chapterStart;
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

void ScanWorker::requestLandingPictures(int title, std::int64_t ms)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->landing = Request{title, ms, {}};
        m_shared->pending.reset(); // the scan is over: its last picture is of no use now
    }
    m_shared->wake.notify_one();
}

void ScanWorker::requestMuxLead(int title)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->muxLeadTitle = title;
    }
    m_shared->wake.notify_one();
}

void ScanWorker::requestChapterStart(int title, int chapter, const QSize &size)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->chapterStart = Request{title, chapter, size};
        m_shared->pending.reset();
    }
    m_shared->wake.notify_one();
}

void ScanWorker::request(int title, std::int64_t ms, const QSize &size)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->pending = Request{title, ms, size};
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
    if (event->type() == kLandingEvent) {
        auto *e = static_cast<LandingEvent *>(event);
        emit landingPicturesReady(e->pictures, e->title);
        return true;
    }
    if (event->type() == kChapterStartEvent) {
        auto *e = static_cast<ChapterStartEvent *>(event);
        emit chapterStartReady(e->picture, qint64(e->ms), quint64(e->hash), e->title, e->chapter);
        return true;
    }
    if (event->type() == kMuxLeadEvent) {
        auto *e = static_cast<MuxLeadEvent *>(event);
        emit muxLeadReady(qint64(e->ms), e->title);
        return true;
    }
    return QObject::event(event);
}

void ScanWorker::run(std::shared_ptr<Shared> shared)
{
    std::unique_ptr<TitleStills> stills;
    std::int64_t lastMs = -1;
    QSize lastSize;
    const auto stillsOf = [&](int title) -> TitleStills & {
        if (!stills || stills->title() != title) {
            stills = std::make_unique<TitleStills>(shared->discPath, title);
            lastMs = -1;
        }
        return *stills;
    };
    for (;;) {
        Request request;
        bool landing = false;
        std::optional<int> muxLeadTitle;
        std::optional<Request> chapterStart;
        {
            std::unique_lock lock(shared->mutex);
            shared->wake.wait(lock, [&] {
                return shared->stop || shared->pending || shared->landing || shared->muxLeadTitle
                       || shared->chapterStart;
            });
            if (shared->stop)
                break;
            std::swap(chapterStart, shared->chapterStart);
            if (!chapterStart)
                std::swap(muxLeadTitle, shared->muxLeadTitle);
        }
        if (chapterStart) {
            // A jump waits on it: before anything else.
            const auto still = stillsOf(chapterStart->title).chapterStart(int(chapterStart->ms));
            QImage picture = still ? drawn(still->image, chapterStart->size, stills->displayAspect()) : QImage();
            stills->release(); // no scan runs at a jump
            lastMs = -1;
            std::lock_guard lock(shared->mutex);
            if (still && shared->receiver)
                QCoreApplication::postEvent(shared->receiver,
                                            new ChapterStartEvent(std::move(picture), still->ms, still->hash,
                                                                  chapterStart->title, int(chapterStart->ms)));
            continue;
        }
        if (muxLeadTitle) {
            stillsOf(*muxLeadTitle);
            const auto lead = stills->muxLeadMs();
            std::lock_guard lock(shared->mutex);
            if (lead && shared->receiver)
                QCoreApplication::postEvent(shared->receiver, new MuxLeadEvent(*lead, *muxLeadTitle));
            continue;
        }
        {
            std::unique_lock lock(shared->mutex);
            if (!shared->pending && !shared->landing)
                continue;
            landing = shared->landing.has_value();
            request = landing ? *shared->landing : *shared->pending;
            (landing ? shared->landing : shared->pending).reset();
        }
        stillsOf(request.title);
        if (landing) {
            KnownPictures pictures = stills->keyPicturesAfter(request.ms, kLandingVobus);
            stills->release(); // the scan is over
            lastMs = -1;
            std::lock_guard lock(shared->mutex);
            if (shared->receiver)
                QCoreApplication::postEvent(shared->receiver, new LandingEvent(std::move(pictures), request.title));
            continue;
        }
        const auto still = stills->pictureAt(request.ms);
        if (!still || (still->ms == lastMs && request.size == lastSize))
            continue; // unreadable here, or the picture already sent
        lastMs = still->ms;
        lastSize = request.size;
        QImage picture = drawn(still->image, request.size, stills->displayAspect());
        std::lock_guard lock(shared->mutex);
        if (shared->receiver)
            QCoreApplication::postEvent(shared->receiver, new PictureEvent(std::move(picture), still->ms, request.title));
    }
    shared->done->store(true);
}

} // namespace playback::engine
