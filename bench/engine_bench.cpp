// Measures the libvlc playback control rendering into memory (run it on the
// offscreen platform). Modes:
//   engine_bench cpu DISC SECONDS   plays title 1, prints "cpu <user+sys seconds>"
//   engine_bench accuracy DISC SECONDS [film]   (on X11: embedded, read back from the window)
//        prints the distance between CurrentTime and the frame stamp on screen
//        (film: the film disc, whose stamp counts film pictures at 24000/1001 a
//        second and whose time counts 30 frames a second, the NTSC time base),
//        over every picture shown: "accuracy <max frames> <mean frames> <pictures>
//        <mean signed frames> <pictures within a frame>" (positive: the reported
//        time is ahead of the picture)
//   engine_bench jumps DISC          (on X11: embedded, read back from the window)
//        after Next, Previous and an x8 scan to the title's start, the time against
//        the picture on screen every 30 ms for 1.5 s: "jump_<next|previous|scan>
//        <max frames> <reads>", as the engine's own picture gives way to libvlc's.
//   engine_bench latency DISC
//        prints "play_to_picture <ms>", "chapter_to_picture <ms>",
//        "reverse_pictures_per_second_x<N> <n>" for N = 1, 2, 4, 8.
//   engine_bench stalls DISC
//        prints "<call>_ms <ms>": how long each call held the GUI thread, and
//        "gap_<step> <ms>": the event loop's longest gap over a step.
//   engine_bench scratch DISC            (a drive with a scratch over title 1's seconds 3 to 5)
//        prints "scratch_stall <ms>": how long the picture stood still up to 7 s
//        into the title, and "scratch_skipped <ms>": how much of it was passed over.
//   engine_bench dropped DISC SECONDS     (a disc whose first title lasts that long)
//        prints "dropped <pictures> <shown>": of the pictures title 1 had in
//        SECONDS of play from its start, how many never showed, and how many did.
//   engine_bench skips DISC COUNT        (on X11, read back from the window)
//   engine_bench vlc-skips DISC COUNT    the same with libvlc's own player, as cvlc
//        Next and Previous between chapters 1 and 2 and the reverse scan to the
//        title's start, COUNT times each; prints "<jump>_first <median ms> <worst
//        ms>" (to the place's first picture), "<jump>_moving ..." (to a second
//        picture there: moving again) and "<jump>_stepped_back <times>" (a picture
//        within 1.5 s that was an earlier frame than the one before it).
//   engine_bench menu|vlc-menu DISC COUNT     the same for a menu button chosen
//        with Enter (the menu disc). libvlc's own player needs DISC's absolute path.
//   engine_bench program player|cvlc COUNT    the same for Next and Previous in
//        the whole program already playing on this X server (xdotool clicks the
//        player's buttons, or presses cvlc's chapter keys).
//   engine_bench combing DISC            (the interlaced sample disc)
//        prints "combing_<play|scan> <mean> <frames...>": combing (see combing())
//        of pictures shown in play and in the reverse scan, and their frame numbers.
//   engine_bench combing-files PNG...    prints "combing <mean>" of the pictures given.

#include "FrameStamp.h"
#include "playback/disc/FactsHelper.h"
#include "playback/engine/PlayerReaper.h"
#include "playback/engine/VlcPlaybackControl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QScreen>
#include <QTest>

#include <vlc/vlc.h>

#include <sys/resource.h>

#include <algorithm>
#include <set>
#include <cstdio>
#include <cstring>

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

// The frame the picture's stamp stands for, and the frames a time code counts.
struct TimeBase {
    bool film = false;
    int reference(int picture) const { return film ? picture * 3003 / 2400 : picture; }
    int frames(const QString &timecode) const { return framesOf(timecode, film ? 30 : 25); }
};

// The frame stamp on screen in w, read back from the X server.
std::optional<FrameStamp> stampOnScreen(QWidget &w)
{
    const QPoint origin = w.mapToGlobal(QPoint(0, 0));
    return readFrameStamp(w.screen()->grabWindow(0, origin.x(), origin.y(), w.width(), w.height()).toImage());
}

// The picture the engine shows: the last one handed over into memory, or what
// the screen shows where it draws into an X window.
std::optional<FrameStamp> shownStamp(VlcPlaybackControl &dvd)
{
    return dvd.rendersIntoMemory() ? readFrameStamp(dvd.lastFrame()) : stampOnScreen(dvd);
}

bool waitStamp(VlcPlaybackControl &dvd, const std::function<bool(const FrameStamp &)> &pred, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            auto s = shownStamp(dvd);
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

int accuracy(const QString &disc, int seconds, TimeBase base)
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
        const int signedD = base.frames(dvd.CurrentTime().toString()) - base.reference(s->frame);
        const int d = std::abs(signedD);
        worst = std::max(worst, d);
        sum += d;
        signedSum += signedD;
        within += d <= 1;
        if (qEnvironmentVariableIsSet("BENCH_TRACE") && count < 40)
            std::printf("picture %d reported %d\n", s->frame, base.reference(s->frame) + signedD);
        ++count;
    });
    QTest::qWait(seconds * 1000);
    std::printf("accuracy %d %.3f %d %.3f %d\n", worst, count ? sum / count : 0.0, count,
                count ? signedSum / count : 0.0, within);
    return 0;
}

// Embedded in an X window (run it on X11): the picture on screen is read back from
// the window between two reads of the position.
int embeddedAccuracy(const QString &disc, int seconds, TimeBase base)
{
    VlcPlaybackControl dvd(disc);
    dvd.resize(720, 576);
    dvd.show();
    dvd.Play();
    auto reported = [&]() -> int {
        try {
            return base.frames(dvd.CurrentTime().toString());
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
        const int signedD = (before + after) / 2 - base.reference(s->frame);
        if (qEnvironmentVariableIsSet("BENCH_TRACE") && (count < 60 || std::abs(signedD) > 1))
            std::printf("picture %d reported %d at %lld ms\n", s->frame, base.reference(s->frame) + signedD, clock.elapsed());
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

int jumps(const QString &disc)
{
    for (const char *jump : {"next", "previous", "scan"}) {
        VlcPlaybackControl dvd(disc);
        dvd.resize(768, 576);
        dvd.show();
        dvd.Play();
        const auto shown = [&] { return readFrameStamp(dvd.screen()->grabWindow(dvd.winId()).toImage()); };
        const auto time = [&]() -> int {
            try {
                return framesOf(dvd.CurrentTime().toString());
            } catch (const std::exception &) {
                return -1;
            }
        };
        const auto waitShown = [&](const std::function<bool(const FrameStamp &)> &pred) {
            return QTest::qWaitFor([&] { const auto s = shown(); return s && pred(*s); }, 10000);
        };
        if (!waitShown([](const FrameStamp &s) { return s.title == 1 && s.frame > 40; }))
            return 1;
        if (std::strcmp(jump, "previous") == 0) {
            dvd.PlayNextChapter();
            waitShown([](const FrameStamp &s) { return s.frame > 230; });
            dvd.PlayPrevChapter(); // 1.2 s into chapter 2: to chapter 1
        } else if (std::strcmp(jump, "next") == 0) {
            dvd.PlayNextChapter();
        } else {
            dvd.PlayBackwards(Variant::fromDouble(8.0));
        }
        int worst = 0, reads = 0;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 1500) {
            const int before = time();
            const auto s = shown();
            if (s && before >= 0 && before == time()) {
                worst = std::max(worst, std::abs(before - s->frame));
                ++reads;
            }
            QTest::qWait(30);
        }
        std::printf("jump_%s %d %d\n", jump, worst, reads);
    }
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

using Grab = std::function<std::optional<FrameStamp>()>;
using Landed = std::function<bool(const FrameStamp &)>;

// What one jump looked like on screen, in ms from the action: its first picture,
// a second picture after it (moving again), and whether a picture after the
// first was ever an earlier frame of the title (a step back), over 1.5 s.
struct Landing {
    qint64 firstMs = -1;
    qint64 movingMs = -1;
    bool steppedBack = false;
};

Landing watchLanding(const Grab &grab, const std::function<void()> &action, const Landed &landed)
{
    Landing l;
    std::optional<FrameStamp> first, last;
    QElapsedTimer clock;
    clock.start();
    action();
    while (clock.elapsed() < 1500 || (first && l.movingMs < 0 && clock.elapsed() < 5000)) {
        const auto s = grab();
        const qint64 at = clock.elapsed();
        if (s && !first && landed(*s)) {
            first = last = s;
            l.firstMs = at;
        } else if (s && first && s->title == first->title) {
            if (s->frame != first->frame && l.movingMs < 0)
                l.movingMs = at;
            l.steppedBack = l.steppedBack || s->frame < last->frame;
            last = s;
        }
        QTest::qWait(1);
    }
    return l;
}

// Each action count times after a second of play, with the stamp it lands on:
// prints "<name>_first <median> <worst>", "<name>_moving <median> <worst>" and
// "<name>_stepped_back <times>". A landing or motion not seen counts as 5000 ms.
struct Action {
    const char *name;
    std::function<void()> act;
    Landed landed;
    std::function<void()> before = [] {};
    bool fromLanding = false; // moving again counted from the first picture (the scan's end)
};

void printLandings(const Grab &grab, int count, const std::vector<Action> &actions)
{
    std::vector<std::vector<qint64>> first(actions.size()), moving(actions.size());
    std::vector<int> back(actions.size());
    for (int i = 0; i < count; ++i) {
        for (std::size_t a = 0; a < actions.size(); ++a) {
            actions[a].before();
            const Landing l = watchLanding(grab, actions[a].act, actions[a].landed);
            first[a].push_back(l.firstMs < 0 ? 5000 : l.firstMs);
            moving[a].push_back(l.movingMs < 0 ? 5000 : l.movingMs - (actions[a].fromLanding ? l.firstMs : 0));
            back[a] += l.steppedBack;
        }
    }
    const auto print = [](const std::string &name, std::vector<qint64> &t) {
        std::sort(t.begin(), t.end());
        std::printf("%s %lld %lld\n", name.c_str(), t[t.size() / 2], t.back());
    };
    for (std::size_t a = 0; a < actions.size(); ++a) {
        print(std::string(actions[a].name) + "_first", first[a]);
        print(std::string(actions[a].name) + "_moving", moving[a]);
        std::printf("%s_stepped_back %d\n", actions[a].name, back[a]);
    }
}

bool waitOnScreen(const Grab &grab, const Landed &pred, int timeoutMs)
{
    return QTest::qWaitFor([&] { const auto s = grab(); return s && pred(*s); }, timeoutMs);
}

const Landed kChapter2 = [](const FrameStamp &s) { return s.title == 1 && s.chapter == 2; };
const Landed kChapter1 = [](const FrameStamp &s) { return s.title == 1 && s.chapter == 1; };
const Landed kTitleStart = [](const FrameStamp &s) { return s.title == 1 && s.frame == 0; };
// Where the reverse scan starts from: a second or more into title 1's first chapter.
const Landed kIntoChapter1 = [](const FrameStamp &s) { return s.title == 1 && s.frame > 25 && s.frame < 200; };

// The engine in a window: Next and Previous between chapters 1 and 2, and the
// reverse scan from 1 s into title 1 to its start (timed from the start's picture).
int skips(const QString &disc, int count)
{
    QWidget window;
    window.setGeometry(0, 0, 720, 576);
    auto *dvd = new VlcPlaybackControl(disc, &window);
    dvd->setGeometry(window.rect());
    window.show();
    dvd->Play();
    const Grab grab = [&] { return stampOnScreen(window); };
    const auto playOn = [&] { QTest::qWait(1000); };
    if (!waitOnScreen(grab, kChapter1, 10000))
        return 1;
    printLandings(grab, count,
                  {{"next", [&] { dvd->PlayNextChapter(); }, kChapter2, playOn},
                   {"previous", [&] { dvd->PlayPrevChapter(); }, kChapter1, playOn},
                   {"scan_end", [&] { dvd->PlayBackwards(Variant::fromDouble(2.0)); }, kTitleStart,
                    [&] { waitOnScreen(grab, kIntoChapter1, 5000); }, true}});
    return 0;
}

// libvlc's own player as cvlc runs it (its default caching), playing the disc
// into the window with the same X11 output as the engine's, until it goes.
struct VlcOwnPlayer {
    libvlc_instance_t *vlc = nullptr;
    libvlc_media_player_t *player = nullptr;
    VlcOwnPlayer(const QString &disc, QWidget &window)
    {
        const char *args[] = {"--quiet", "--no-video-title-show", "--vout=xcb_x11", "--no-xlib"};
        vlc = libvlc_new(4, args);
        libvlc_media_t *media = libvlc_media_new_location(vlc, ("dvd://" + disc).toUtf8().constData());
        player = libvlc_media_player_new_from_media(media);
        libvlc_media_release(media);
        libvlc_media_player_set_xwindow(player, std::uint32_t(window.winId()));
        libvlc_media_player_play(player);
    }
    ~VlcOwnPlayer()
    {
        libvlc_media_player_stop(player);
        libvlc_media_player_release(player);
        libvlc_release(vlc);
    }
};

// The same jumps in libvlc's own player, in a window of the same size. It has no reverse scan:
// "scan_end" is its restart of the title from 1 s in (set_chapter(0)).
int vlcSkips(const QString &disc, int count)
{
    QWidget window;
    window.setGeometry(0, 0, 720, 576);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    const VlcOwnPlayer vlc(disc, window);
    libvlc_media_player_t *player = vlc.player;
    const Grab grab = [&] { return stampOnScreen(window); };
    const auto playOn = [&] { QTest::qWait(1000); };
    if (waitOnScreen(grab, kChapter1, 10000))
        printLandings(grab, count,
                      {{"next", [&] { libvlc_media_player_next_chapter(player); }, kChapter2, playOn},
                       {"previous", [&] { libvlc_media_player_previous_chapter(player); }, kChapter1, playOn},
                       {"scan_end", [&] { libvlc_media_player_set_chapter(player, 0); }, kTitleStart,
                        [&] { waitOnScreen(grab, kIntoChapter1, 5000); }}});
    return 0;
}

// A program running on this X server, from outside as a user works it: the
// whole Orvanta Player (its Next and Previous buttons clicked) or cvlc (its
// next and previous chapter keys, Shift+N and Shift+P), both playing title 1 of
// the sample disc. Its window is found by name, and read back from the screen.
int programSkips(const QString &which, int count)
{
    const bool player = which == QLatin1String("player");
    const auto output = [](const QString &tool, const QStringList &args) {
        QProcess p;
        p.start(tool, args);
        p.waitForFinished();
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    };
    const auto xdotool = [&](const QStringList &args) { return output(QStringLiteral("xdotool"), args); };
    const auto find = [&](const QString &name) {
        QString id;
        for (int i = 0; i < 100 && id.isEmpty(); ++i, QTest::qWait(100))
            id = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), name})
                     .section(QLatin1Char('\n'), 0, 0);
        return id;
    };
    const auto geometry = [&](const QString &id) {
        QRect r;
        for (const QString &line : output(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id}).split(QLatin1Char('\n'))) {
            const int v = line.section(QLatin1Char(':'), 1).trimmed().toInt();
            if (line.contains(QLatin1String("Absolute upper-left X"))) r.moveLeft(v);
            if (line.contains(QLatin1String("Absolute upper-left Y"))) r.moveTop(v);
            if (line.contains(QLatin1String("Width:"))) r.setWidth(v);
            if (line.contains(QLatin1String("Height:"))) r.setHeight(v);
        }
        return r;
    };
    const QString video = find(player ? QStringLiteral("^Orvanta Player") : QStringLiteral("^VLC media player"));
    const QString control = player ? find(QStringLiteral("Control Window$")) : video;
    if (video.isEmpty() || control.isEmpty())
        return 1;
    if (player) { // side by side, where the window manager may have put one over the other
        xdotool({QStringLiteral("windowmove"), QStringLiteral("--sync"), video, QStringLiteral("0"), QStringLiteral("0")});
        xdotool({QStringLiteral("windowmove"), QStringLiteral("--sync"), control, QStringLiteral("620"), QStringLiteral("0")});
        QTest::qWait(300);
    }
    const QRect picture = geometry(video);
    const QRect panel = geometry(control);
    QScreen *screen = QGuiApplication::primaryScreen();
    const Grab grab = [&] {
        return readFrameStamp(screen->grabWindow(0, picture.x(), picture.y(), picture.width(), picture.height()).toImage());
    };
    // The panel's buttons at 100 % scale, from its top left corner. xdotool is
    // not waited for: it sleeps 100 ms after a click before it exits, and the
    // screen is watched from the moment it starts.
    const auto click = [&](int x, int y) {
        QProcess::startDetached(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(panel.x() + x),
                                                             QString::number(panel.y() + y), QStringLiteral("click"),
                                                             QStringLiteral("1")});
    };
    const auto key = [&](const char *keys) {
        QProcess::startDetached(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(keys)});
    };
    if (!player)
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), video});
    const auto playOn = [&] { QTest::qWait(1000); };
    if (!waitOnScreen(grab, kChapter1, 15000))
        return 1;
    printLandings(grab, count,
                  {{"next", [&] { player ? click(128, 168) : key("shift+n"); }, kChapter2, playOn},
                   {"previous", [&] { player ? click(56, 168) : key("shift+p"); }, kChapter1, playOn}});
    return 0;
}

// A DVD menu's first button (title 1 of the menu disc), chosen with Enter: in
// the engine, and in libvlc's own player. Each time from the menu, reached by
// playing the disc again from its start.
int menuLandings(const QString &disc, int count, bool engine)
{
    QWidget window;
    window.setGeometry(0, 0, 720, 576);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    const Grab grab = [&] { return stampOnScreen(window); };
    const Landed inMenu = [](const FrameStamp &s) { return s.title == 0; };
    const Landed inTitle = [](const FrameStamp &s) { return s.title == 1; };
    // The buttons answer once the menu's highlight has come.
    const auto settle = [&] { waitOnScreen(grab, inMenu, 10000); QTest::qWait(700); };
    if (engine) {
        auto *dvd = new VlcPlaybackControl(disc, &window);
        dvd->setGeometry(window.rect());
        dvd->show();
        printLandings(grab, count,
                      {{"menu", [&] { QTest::keyClick(dvd, Qt::Key_Return); }, inTitle,
                        [&] { if (dvd->isLoaded()) dvd->Stop(); dvd->Play(); settle(); }}});
        return 0;
    }
    const VlcOwnPlayer vlc(disc, window);
    printLandings(grab, count,
                  {{"menu", [&] { libvlc_media_player_navigate(vlc.player, libvlc_navigate_activate); }, inTitle,
                    [&] { libvlc_media_player_stop(vlc.player); libvlc_media_player_play(vlc.player); settle(); }}});
    return 0;
}

// Combing: the mean absolute difference between each line and the average of
// its neighbours, in luma, over the interlaced disc's moving bars (rows 162-557
// of the 720x576 picture, clear of the static rows around them).
double combing(const QImage &picture)
{
    const QImage image = picture.scaled(720, 576).convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    int count = 0;
    for (int y = 162; y <= 557; ++y) {
        const auto *above = reinterpret_cast<const QRgb *>(image.constScanLine(y - 1));
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        const auto *below = reinterpret_cast<const QRgb *>(image.constScanLine(y + 1));
        for (int x = 0; x < 720; ++x, ++count)
            sum += std::abs(qGray(line[x]) - (qGray(above[x]) + qGray(below[x])) / 2.0);
    }
    return count ? sum / count : 0.0;
}

// Pictures of the interlaced disc into memory: 2 s of play from the start of
// chapter 2, then a second of the reverse scan at x1.
int combingOfPictures(const QString &disc)
{
    VlcPlaybackControl dvd(disc);
    dvd.Play();
    if (!waitStamp(dvd, [](const FrameStamp &s) { return s.title == 1; }, 5000))
        return 1;
    dvd.PlayNextChapter();
    waitStamp(dvd, [](const FrameStamp &s) { return s.chapter == 2; }, 5000);
    const auto sample = [&](const char *name, int ms) {
        double sum = 0;
        QStringList frames;
        int last = -1;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            const QImage picture = dvd.lastFrame();
            if (const auto s = readFrameStamp(picture); s && s->frame != last) {
                last = s->frame;
                sum += combing(picture);
                frames << QString::number(s->frame);
            }
            QTest::qWait(5);
        }
        std::printf("combing_%s %.3f %s\n", name, frames.isEmpty() ? -1.0 : sum / frames.size(),
                    qPrintable(frames.join(' ')));
    };
    sample("play", 2000);
    dvd.PlayBackwards(Variant::fromDouble(1.0));
    QTest::qWait(200);
    sample("scan", 1000);
    return 0;
}

int combingOfFiles(const QStringList &files)
{
    double sum = 0;
    for (const QString &file : files)
        sum += combing(QImage(file));
    std::printf("combing %.3f\n", files.isEmpty() ? -1.0 : sum / files.size());
    return 0;
}

// How long the GUI thread is held by each call while the disc plays; embedded
// when run on X11 (the video window shown), into memory otherwise.
// The longest time the GUI thread went without running its event loop, measured
// by a timer that fires as often as it can.
class GapMonitor {
public:
    GapMonitor()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_clock.restart());
        });
        m_clock.start();
        m_timer.start(1);
    }
    qint64 takeLongest()
    {
        m_longest = std::max(m_longest, m_clock.elapsed());
        return std::exchange(m_longest, 0);
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

int dropped(const QString &disc, int seconds)
{
    VlcPlaybackControl dvd(disc);
    std::set<int> shown;
    int first = -1, last = -1;
    QObject::connect(&dvd, &VlcPlaybackControl::pictureShown, [&] {
        if (const auto s = readFrameStamp(dvd.lastFrame()); s && s->title == 1) {
            shown.insert(s->frame);
            first = first < 0 ? s->frame : std::min(first, s->frame);
            last = std::max(last, s->frame);
        }
    });
    dvd.Play();
    if (!waitStamp(dvd, [](const FrameStamp &s) { return s.title == 1; }, 15000))
        return 1;
    QTest::qWait(seconds * 1000);
    std::printf("dropped %d %zu\n", last - first + 1 - int(shown.size()), shown.size());
    return 0;
}

int scratch(const QString &disc)
{
    VlcPlaybackControl dvd(disc);
    dvd.Play();
    if (!waitStamp(dvd, [](const FrameStamp &s) { return s.title == 1 && s.frame >= 10; }, 15000))
        return 1;
    // Until two seconds past the scratch's end: every time the picture stood still
    // longer than a few pictures, and every jump forward.
    QElapsedTimer clock;
    clock.start();
    int last = -1;
    qint64 changedAt = 0, stood = 0, skipped = 0;
    while (clock.elapsed() < 60000 && last < 175) {
        QTest::qWait(5);
        const auto s = readFrameStamp(dvd.lastFrame());
        if (!s || s->frame == last)
            continue;
        if (last >= 0 && clock.elapsed() - changedAt > 200)
            stood += clock.elapsed() - changedAt;
        if (last >= 0 && s->frame > last + 3)
            skipped += (s->frame - last - 1) * 40;
        last = s->frame;
        changedAt = clock.elapsed();
    }
    if (last < 175)
        return 1;
    std::printf("scratch_stall %lld\nscratch_skipped %lld\n", stood, skipped);
    return 0;
}

int stalls(const QString &disc)
{
    VlcPlaybackControl dvd(disc);
    dvd.resize(720, 576);
    dvd.show();
    QElapsedTimer clock;
    GapMonitor gaps;
    // A disc just put in, spun down: Play up to its first picture, a chapter skip
    // up to the new chapter's picture, and, stopped, what DVD Info. reads. The
    // event loop's longest gap over each is what a user feels as a frozen window.
    clock.start();
    dvd.Play();
    std::printf("play_ms %lld\n", clock.elapsed());
    if (!waitStamp(dvd, [](const FrameStamp &s) { return s.title == 1 && s.frame > 25; }, 15000))
        return 1;
    std::printf("gap_play %lld\n", gaps.takeLongest());
    clock.restart();
    dvd.PlayNextChapter();
    std::printf("next_chapter_ms %lld\n", clock.elapsed());
    if (!waitStamp(dvd, [](const FrameStamp &s) { return s.chapter == 2; }, 5000))
        return 1;
    std::printf("gap_next_chapter %lld\n", gaps.takeLongest());
    dvd.Stop();
    QTest::qWait(100);
    gaps.takeLongest();
    clock.restart();
    for (auto read : {&VlcPlaybackControl::DVDDirectory, &VlcPlaybackControl::CurrentDiscSide,
                      &VlcPlaybackControl::DVDUniqueID, &VlcPlaybackControl::VolumeName}) {
        try {
            (dvd.*read)();
        } catch (...) {
        }
    }
    std::printf("dvd_info_ms %lld\n", clock.elapsed());
    QTest::qWait(100);
    std::printf("gap_dvd_info %lld\n", gaps.takeLongest());
    const std::pair<const char *, std::function<void()>> calls[] = {
        {"play_spun_up", [&] { dvd.Play(); }},
        {"next_chapter_spun_up", [&] { dvd.PlayNextChapter(); }},
        {"pause", [&] { dvd.Pause(); }},
        {"resume", [&] { dvd.Resume(); }},
        {"backwards", [&] { dvd.PlayBackwards(Variant::fromDouble(2.0)); }},
        {"forwards", [&] { dvd.PlayForwards(Variant::fromDouble(4.0)); }},
        {"stop", [&] { dvd.Stop(); }},
        {"play_again", [&] { dvd.Play(); }},
        {"eject", [&] { dvd.Eject(); }},
    };
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
        try {
            call();
        } catch (...) {
        }
        std::printf("%s_ms %lld\n", name, clock.elapsed());
        QTest::qWait(1500);
    }
    std::printf("gap_other %lld\n", gaps.takeLongest());
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
        std::fprintf(stderr, "usage: engine_bench cpu|accuracy|jumps|latency|stalls|skips|vlc-skips|menu|vlc-menu|combing DISC [SECONDS|COUNT]\n"
                             "       engine_bench program player|cvlc COUNT\n"
                             "       engine_bench combing-files PNG...\n");
        return 2;
    }
    const int seconds = args.size() > 3 ? args[3].toInt() : 20;
    if (args[1] == QLatin1String("cpu"))
        return cpu(args[2], seconds);
    if (args[1] == QLatin1String("accuracy")) {
        const TimeBase base{args.size() > 4 && args[4] == QLatin1String("film")};
        return QGuiApplication::platformName() == QLatin1String("xcb") ? embeddedAccuracy(args[2], seconds, base)
                                                                       : accuracy(args[2], seconds, base);
    }
    if (args[1] == QLatin1String("latency"))
        return latency(args[2]);
    if (args[1] == QLatin1String("jumps"))
        return jumps(args[2]);
    if (args[1] == QLatin1String("dropped"))
        return dropped(args[2], seconds);
    if (args[1] == QLatin1String("scratch"))
        return scratch(args[2]);
    if (args[1] == QLatin1String("stalls"))
        return stalls(args[2]);
    if (args[1] == QLatin1String("skips"))
        return skips(args[2], args.size() > 3 ? args[3].toInt() : 20);
    if (args[1] == QLatin1String("vlc-skips"))
        return vlcSkips(args[2], args.size() > 3 ? args[3].toInt() : 20);
    if (args[1] == QLatin1String("program"))
        return programSkips(args[2], args.size() > 3 ? args[3].toInt() : 20);
    if (args[1] == QLatin1String("menu") || args[1] == QLatin1String("vlc-menu"))
        return menuLandings(args[2], args.size() > 3 ? args[3].toInt() : 20, args[1] == QLatin1String("menu"));
    if (args[1] == QLatin1String("combing"))
        return combingOfPictures(args[2]);
    if (args[1] == QLatin1String("combing-files"))
        return combingOfFiles(args.mid(2));
    return 2;
}
