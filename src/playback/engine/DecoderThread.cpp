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
    std::int64_t ms = 0; // where in the title; for a chapter's start, the chapter
    QSize size;
};

// What the thread does next, the most urgent first: a jump waits on its chapter's
// first picture; a scan that ended wants its landing pictures more than its last picture.
struct Job {
    enum Kind { PastDamage, ChapterStart, Timing, Landing, Picture } kind;
    Request request;
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

// The decoder thread's own: the stills of the title asked for last, and the last
// picture sent (a scan asks for the same one again and again between GOPs).
class Stills {
public:
    explicit Stills(QString discPath) : m_discPath(std::move(discPath)) {}

    TitleStills &of(int title)
    {
        if (!m_stills || m_stills->title() != title) {
            m_stills = std::make_unique<TitleStills>(m_discPath, title);
            m_lastMs = -1;
        }
        return *m_stills;
    }
    // The decoded pictures go (no scan runs now).
    void release()
    {
        m_stills->release();
        m_lastMs = -1;
    }
    // A scan's picture, drawn at the request's size; nullopt when unreadable or sent already.
    std::optional<std::pair<QImage, std::int64_t>> picture(const Request &r)
    {
        const auto still = of(r.title).pictureAt(r.ms);
        if (!still || (still->ms == m_lastMs && r.size == m_lastSize))
            return std::nullopt;
        m_lastMs = still->ms;
        m_lastSize = r.size;
        return std::pair(drawn(still->image, r.size, m_stills->displayAspect()), still->ms);
    }

private:
    QString m_discPath;
    std::unique_ptr<TitleStills> m_stills;
    std::int64_t m_lastMs = -1;
    QSize m_lastSize;
};

} // namespace

struct DecoderThread::Shared {
    QString discPath;
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Request> pending;
    std::optional<Request> landing;
    std::optional<int> timingTitle;
    std::optional<Request> chapterStart;
    std::optional<Request> pastDamage;
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

void DecoderThread::requestTiming(int title)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->timingTitle = title;
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

void DecoderThread::requestPastDamage(int title, std::int64_t ms)
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->pastDamage = Request{title, ms, {}};
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

// The next job; nullopt once the thread is to stop.
static std::optional<Job> nextJob(DecoderThread::Shared &shared)
{
    std::unique_lock lock(shared.mutex);
    shared.wake.wait(lock, [&] {
        return shared.stop || shared.pending || shared.landing || shared.timingTitle || shared.chapterStart
               || shared.pastDamage;
    });
    if (shared.stop)
        return std::nullopt;
    if (shared.pastDamage)
        return Job{Job::PastDamage, *std::exchange(shared.pastDamage, std::nullopt)};
    if (shared.chapterStart)
        return Job{Job::ChapterStart, *std::exchange(shared.chapterStart, std::nullopt)};
    if (shared.timingTitle)
        return Job{Job::Timing, Request{*std::exchange(shared.timingTitle, std::nullopt), 0, {}}};
    if (shared.landing)
        return Job{Job::Landing, *std::exchange(shared.landing, std::nullopt)};
    return Job{Job::Picture, *std::exchange(shared.pending, std::nullopt)};
}

void DecoderThread::run(std::shared_ptr<Shared> shared)
{
    // Hands an answer to the receiver's thread, if there is a receiver still.
    const auto answer = [&shared](auto emitAnswer) {
        std::lock_guard lock(shared->mutex);
        if (auto *self = static_cast<DecoderThread *>(shared->receiver))
            QMetaObject::invokeMethod(self, [self, emitAnswer] { emitAnswer(*self); }, Qt::QueuedConnection);
    };
    Stills stills(shared->discPath);
    while (const std::optional<Job> job = nextJob(*shared)) {
        const Request &r = job->request;
        switch (job->kind) {
        case Job::PastDamage: {
            const qint64 ms = stills.of(r.title).firstReadableAfter(r.ms).value_or(-1);
            answer([ms, r](DecoderThread &self) { emit self.pastDamageFound(ms, r.title, r.ms); });
            break;
        }
        case Job::ChapterStart:
            if (const auto still = stills.of(r.title).chapterStart(int(r.ms))) {
                answer([picture = drawn(still->image, r.size, stills.of(r.title).displayAspect()), ms = still->ms,
                        hash = still->hash, r](DecoderThread &self) {
                    emit self.chapterStartReady(picture, ms, hash, r.title, int(r.ms));
                });
            }
            stills.release();
            break;
        case Job::Timing: {
            TitleStills &title = stills.of(r.title);
            const qint64 lead = title.muxLeadMs().value_or(-1);
            const double period = title.picturePeriodMs().value_or(0.0);
            stills.release();
            answer([lead, period, r](DecoderThread &self) { emit self.timingReady(lead, period, r.title); });
            break;
        }
        case Job::Landing: {
            KnownPictures pictures = stills.of(r.title).keyPicturesAfter(r.ms, kLandingVobus);
            stills.release(); // the scan is over
            answer([pictures, r](DecoderThread &self) { emit self.landingPicturesReady(pictures, r.title); });
            break;
        }
        case Job::Picture:
            if (auto picture = stills.picture(r))
                answer([picture = std::move(*picture), r](DecoderThread &self) {
                    emit self.pictureReady(picture.first, picture.second, r.title);
                });
            break;
        }
    }
    shared->done->store(true);
}

} // namespace playback::engine
