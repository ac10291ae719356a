// Measures the libvlc playback control rendering into memory (run it on the
// offscreen platform). Modes:
//   engine_bench cpu DISC SECONDS   plays title 1, prints "cpu <user+sys seconds>"
//   engine_bench accuracy DISC SECONDS   (on X11: embedded, read back from the window)
//        prints the distance between CurrentTime and the frame stamp on screen,
//        over every picture shown: "accuracy <max frames> <mean frames> <pictures>
//        <mean signed frames> <pictures within a frame>" (positive: the reported
//        time is ahead of the picture)
//   engine_bench latency DISC
//        prints "play_to_picture <ms>", "chapter_to_picture <ms>",
//        "reverse_pictures_per_second_x<N> <n>" for N = 1, 2, 4, 8.
//   engine_bench stalls DISC
//        prints "<call>_ms <ms>": how long each call held the GUI thread.

#include "FrameStamp.h"
#include "playback/disc/FactsHelper.h"
#include "playback/engine/PlayerReaper.h"
#include "playback/engine/VlcPlaybackControl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QScreen>
#include <QTest>

#include <sys/resource.h>

#include <cstdio>

using sampledisc::FrameStamp;
using sampledisc::framesOf;
using sampledisc::readFrameStamp;
using playback::Variant;
using playback::engine::VlcPlaybackControl;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

bool waitStamp(VlcPlaybackControl &dvd, const std::function<bool(const FrameStamp &)> &pred, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            auto s = readFrameStamp(dvd.lastFrame());
            return s && pred(*s);
        },
        timeoutMs);
}

int cpu(const QString &disc, int seconds)
{
    VlcPlaybackControl dvd(disc);
    const double before = cpuSeconds();
    dvd.Play();
    // A plain event loop, as the player runs: QTest::qWait would wake every 10 ms.
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    dvd.Stop();
    // libvlc is stopped on a thread of its own: count its teardown too, as cvlc's is.
    playback::engine::reaper::waitForAll();
    std::printf("cpu %.3f\n", cpuSeconds() - before);
    return 0;
}

int accuracy(const QString &disc, int seconds)
{
    VlcPlaybackControl dvd(disc);
    dvd.Play();
    if (!waitStamp(dvd, [](const FrameStamp &s) { return s.title == 1; }, 5000))
        return 1;
    int worst = 0, count = 0, within = 0;
    double sum = 0, signedSum = 0;
    QObject::connect(&dvd, &VlcPlaybackControl::pictureShown, [&] {
        const auto s = readFrameStamp(dvd.lastFrame());
        if (!s || s->title != 1)
            return;
        const int signedD = framesOf(dvd.CurrentTime().toString()) - s->frame;
        const int d = std::abs(signedD);
        worst = std::max(worst, d);
        sum += d;
        signedSum += signedD;
        within += d <= 1;
        if (qEnvironmentVariableIsSet("BENCH_TRACE") && count < 40)
            std::printf("picture %d reported %d\n", s->frame, s->frame + signedD);
        ++count;
    });
    QTest::qWait(seconds * 1000);
    std::printf("accuracy %d %.3f %d %.3f %d\n", worst, count ? sum / count : 0.0, count,
                count ? signedSum / count : 0.0, within);
    return 0;
}

// Embedded in an X window (run it on X11): the picture on screen is read back from
// the window between two reads of the position.
int embeddedAccuracy(const QString &disc, int seconds)
{
    VlcPlaybackControl dvd(disc);
    dvd.resize(720, 576);
    dvd.show();
    dvd.Play();
    auto reported = [&]() -> int {
        try {
            return framesOf(dvd.CurrentTime().toString());
        } catch (const std::exception &) {
            return -1;
        }
    };
    int worst = 0, count = 0, within = 0;
    double sum = 0, signedSum = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        QTest::qWait(30);
        const int before = reported();
        const QImage shot = dvd.screen()->grabWindow(dvd.winId()).toImage();
        const int after = reported();
        const auto s = readFrameStamp(shot);
        if (!s || s->title != 1 || before < 0 || after < 0)
            continue;
        const int signedD = (before + after) / 2 - s->frame;
        if (qEnvironmentVariableIsSet("BENCH_TRACE") && (count < 60 || std::abs(signedD) > 1))
            std::printf("picture %d reported %d at %lld ms\n", s->frame, s->frame + signedD, clock.elapsed());
        worst = std::max(worst, std::abs(signedD));
        sum += std::abs(signedD);
        signedSum += signedD;
        within += std::abs(signedD) <= 1;
        ++count;
    }
    std::printf("accuracy %d %.3f %d %.3f %d\n", worst, count ? sum / count : 0.0, count,
                count ? signedSum / count : 0.0, within);
    return 0;
}

int latency(const QString &disc)
{
    VlcPlaybackControl dvd(disc);
    QElapsedTimer clock;
    clock.start();
    dvd.Play();
    if (!waitStamp(dvd, [](const FrameStamp &s) { return s.title == 1; }, 5000))
        return 1;
    std::printf("play_to_picture %lld\n", clock.elapsed());
    waitStamp(dvd, [](const FrameStamp &s) { return s.frame > 25; }, 5000);
    clock.restart();
    dvd.PlayNextChapter();
    if (qEnvironmentVariableIsSet("BENCH_TRACE")) {
        int last = -1;
        while (clock.elapsed() < 1200) {
            QTest::qWait(1);
            if (auto s = readFrameStamp(dvd.lastFrame()); s && s->frame != last) {
                last = s->frame;
                std::printf("  %lld ms: frame %d chapter %d\n", clock.elapsed(), s->frame, s->chapter);
            }
        }
    }
    waitStamp(dvd, [](const FrameStamp &s) { return s.chapter == 2; }, 5000);
    std::printf("chapter_to_picture %lld\n", clock.elapsed());
    for (double speed : {1.0, 2.0, 4.0, 8.0}) {
        dvd.PlayNextChapter();
        waitStamp(dvd, [](const FrameStamp &s) { return s.chapter == 3 && s.frame > 420; }, 5000);
        dvd.PlayBackwards(Variant::fromDouble(speed));
        int pictures = 0, last = -1, worst = 0;
        clock.restart();
        while (clock.elapsed() < 1500 && dvd.isScanningBackwards()) {
            QTest::qWait(5);
            if (auto s = readFrameStamp(dvd.lastFrame()); s && s->frame != last) {
                last = s->frame;
                ++pictures;
                worst = std::max(worst, std::abs(framesOf(dvd.CurrentTime().toString()) - s->frame));
            }
        }
        const double elapsed = double(clock.elapsed());
        // Play resumes where the scan is: how far the time is from the picture then.
        dvd.PlayForwards(Variant::fromDouble(1.0));
        int resumed = -1;
        waitStamp(dvd, [&](const FrameStamp &s) { return s.frame > last + 5; }, 3000);
        if (auto s = readFrameStamp(dvd.lastFrame()))
            resumed = std::abs(framesOf(dvd.CurrentTime().toString()) - s->frame);
        std::printf("reverse_pictures_per_second_x%g %.1f (time off by at most %d frames; %d after resuming)\n", speed,
                    pictures * 1000.0 / elapsed, worst, resumed);
        dvd.PlayPrevChapter();
    }
    return 0;
}

// How long the GUI thread is held by each call while the disc plays; embedded
// when run on X11 (the video window shown), into memory otherwise.
int stalls(const QString &disc)
{
    VlcPlaybackControl dvd(disc);
    dvd.resize(720, 576);
    dvd.show();
    const std::pair<const char *, std::function<void()>> calls[] = {
        {"play", [&] { dvd.Play(); }},
        {"next_chapter", [&] { dvd.PlayNextChapter(); }},
        {"pause", [&] { dvd.Pause(); }},
        {"resume", [&] { dvd.Resume(); }},
        {"backwards", [&] { dvd.PlayBackwards(Variant::fromDouble(2.0)); }},
        {"forwards", [&] { dvd.PlayForwards(Variant::fromDouble(4.0)); }},
        {"stop", [&] { dvd.Stop(); }},
        {"play_again", [&] { dvd.Play(); }},
        {"eject", [&] { dvd.Eject(); }},
    };
    QElapsedTimer clock;
    // Stopping while libvlc is busy: opening the disc, seeking, playing fast.
    const std::pair<const char *, std::function<void()>> busy[] = {
        {"opening", [] {}},
        {"chapter_skip", [&] { dvd.PlayNextChapter(); }},
        {"scan_x8", [&] { dvd.PlayBackwards(Variant::fromDouble(8.0)); }},
        {"forwards_x8", [&] { dvd.PlayForwards(Variant::fromDouble(8.0)); }},
        {"pause", [&] { dvd.Pause(); }},
    };
    for (const auto &[state, enter] : busy) {
        for (int waitMs : {0, 40, 150}) {
            dvd.Play();
            if (state != std::string("opening"))
                QTest::qWait(1000);
            enter();
            QTest::qWait(waitMs);
            clock.start();
            dvd.Stop();
            std::printf("stop_%s_%dms_ms %lld\n", state, waitMs, clock.elapsed());
        }
    }
    for (const auto &[name, call] : calls) {
        clock.start();
        call();
        std::printf("%s_ms %lld\n", name, clock.elapsed());
        QTest::qWait(1500);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // The engine reads disc facts by starting this program again as its helper.
    if (const std::optional<int> status = playback::disc::runFactsHelperIfAsked(argc, argv))
        return *status;
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: engine_bench cpu|accuracy|latency|stalls DISC [SECONDS]\n");
        return 2;
    }
    const int seconds = args.size() > 3 ? args[3].toInt() : 20;
    if (args[1] == QLatin1String("cpu"))
        return cpu(args[2], seconds);
    if (args[1] == QLatin1String("accuracy"))
        return QGuiApplication::platformName() == QLatin1String("xcb") ? embeddedAccuracy(args[2], seconds)
                                                                       : accuracy(args[2], seconds);
    if (args[1] == QLatin1String("latency"))
        return latency(args[2]);
    if (args[1] == QLatin1String("stalls"))
        return stalls(args[2]);
    return 2;
}
