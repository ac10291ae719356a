#include "playback/engine/DecoderThread.h"

#include "playback/engine/PlayerReaper.h"
#include "playback/engine/TitleStills.h"

#include <QPainter>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace playback::engine {

namespace {

// A seek lands within about a second after its time: four GOPs of half a second cover it.
constexpr int kLandingVobus = 4;

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

struct DecoderThread::Shared {
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

DecoderThread::DecoderThread(const QString &discPath, QObject *parent)
    : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_shared->discPath = discPath;
    m_shared->receiver = this;
    m_thread = std::thread(&DecoderThread::run, m_shared);
}

DecoderThread::~DecoderThread()
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stop = true;
        m_shared->receiver = nullptr;
    }
    m_shared->wake.notify_one();
    reaper::adopt(std::move(m_thread), m_shared->done);
}

void DecoderThread::requestLandingPictures(int title, std::int64_t ms)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->landing = Request{title, ms, {}};
        m_shared->pending.reset(); // the scan is over: its last picture is of no use now
    }
    m_shared->wake.notify_one();
}

void DecoderThread::requestMuxLead(int title)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->muxLeadTitle = title;
    }
    m_shared->wake.notify_one();
}

void DecoderThread::requestChapterStart(int title, int chapter, const QSize &size)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->chapterStart = Request{title, chapter, size};
        m_shared->pending.reset();
    }
    m_shared->wake.notify_one();
}

void DecoderThread::request(int title, std::int64_t ms, const QSize &size)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->pending = Request{title, ms, size};
    }
    m_shared->wake.notify_one();
}

void DecoderThread::run(std::shared_ptr<Shared> shared)
{
    // Hands an answer to the receiver's thread, if there is a receiver still.
    const auto answer = [&shared](auto emitAnswer) {
        std::lock_guard lock(shared->mutex);
        if (auto *self = static_cast<DecoderThread *>(shared->receiver))
            QMetaObject::invokeMethod(self, [self, emitAnswer] { emitAnswer(*self); }, Qt::QueuedConnection);
    };
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
            if (still)
                answer([picture, ms = still->ms, hash = still->hash, title = chapterStart->title,
                        chapter = int(chapterStart->ms)](DecoderThread &self) {
                    emit self.chapterStartReady(picture, ms, hash, title, chapter);
                });
            continue;
        }
        if (muxLeadTitle) {
            stillsOf(*muxLeadTitle);
            if (const auto lead = stills->muxLeadMs())
                answer([ms = *lead, title = *muxLeadTitle](DecoderThread &self) { emit self.muxLeadReady(ms, title); });
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
            answer([pictures, title = request.title](DecoderThread &self) {
                emit self.landingPicturesReady(pictures, title);
            });
            continue;
        }
        const auto still = stills->pictureAt(request.ms);
        if (!still || (still->ms == lastMs && request.size == lastSize))
            continue; // unreadable here, or the picture already sent
        lastMs = still->ms;
        lastSize = request.size;
        answer([picture = drawn(still->image, request.size, stills->displayAspect()), ms = still->ms,
                title = request.title](DecoderThread &self) { emit self.pictureReady(picture, ms, title); });
    }
    shared->done->store(true);
}

} // namespace playback::engine
