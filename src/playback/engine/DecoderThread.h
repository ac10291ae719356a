#pragma once
// The engine's decoder: TitleStills on a thread of its own, so that decoding a
// GOP or reading the disc (tens of milliseconds, longer when a drive spins up)
// never holds the GUI thread. It gives the reverse scan its pictures, a jump its
// first picture, a title its timing (mux lead, picture period), and play where
// to go on past a scratch. Only the
// latest scan request counts: the scan asks for a new position every few tens
// of milliseconds, and a picture that comes too late is of no use. Answers come
// back as signals on the GUI thread.
//
// Threads: requests are made on the GUI thread and handed over under a lock; the
// decoder thread hands its answers to this object's thread as queued calls, to
// the object whose pointer it reads under the same lock and which the destructor
// clears there, so no answer goes to an object that is gone. The thread is
// adopted by the reaper.

#include "playback/engine/Picture.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <thread>

namespace playback::engine {

class DecoderThread : public QObject {
    Q_OBJECT
public:
    explicit DecoderThread(const QString &discPath, QObject *parent = nullptr);
    // Does not wait for a decode under way: the thread finishes on its own (see PlayerReaper.h).
    ~DecoderThread() override;

    // The picture shown ms into title. size: the picture is drawn into an image of
    // that size with the disc's display aspect (black bars); empty keeps it as decoded.
    void request(int title, std::int64_t ms, const QSize &size);
    // The pictures a seek of libvlc's to ms may land on (TitleStills::keyPicturesAfter).
    void requestLandingPictures(int title, std::int64_t ms);
    // The title's timing: its mux lead and its pictures' period (TitleStills).
    void requestTiming(int title);
    // The first picture of a chapter (TitleStills::chapterStart), drawn as request()
    // draws; it goes before any other request, and a scan's pending one is dropped.
    void requestChapterStart(int title, int chapter, const QSize &size);

    // Where play can go on past damage met ms into title (TitleStills::firstReadableAfter);
    // it goes first: play stands still until it comes.
    void requestPastDamage(int title, std::int64_t ms);
    // What the thread and this object share, under its lock.
    struct Shared;

signals:
    void pictureReady(const QImage &picture, qint64 ms, int title);
    void landingPicturesReady(const playback::engine::KnownPictures &pictures, int title);
    // muxLeadMs < 0, picturePeriodMs 0: not known.
    void timingReady(qint64 muxLeadMs, double picturePeriodMs, int title);
    void chapterStartReady(const QImage &picture, qint64 ms, quint64 hash, int title, int chapter);
    // ms < 0: nothing after the damage at askedMs can be read.
    void pastDamageFound(qint64 ms, int title, qint64 askedMs);

private:
    static void run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

} // namespace playback::engine
