// orvanta-test: ENGINE XVFB ALONE
// The libvlc playback control embedded in an X11 window: libvlc draws into a
// child window of the control, the picture is read back from the screen.

#include "playback/engine/VlcPlaybackControl.h"

#include "tst_engine_stamp.h"

#include <QtTest>
#include <QElapsedTimer>
#include <QScreen>
#include <QStandardPaths>

using namespace enginetest;
using playback::PlaybackError;
using playback::Variant;
using playback::engine::VlcPlaybackControl;

class EngineEmbeddedTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QWidget> host;
    VlcPlaybackControl *dvd = nullptr;

    // The picture on screen inside widget w, brought back to the disc's 720x576.
    std::optional<Stamp> stampIn(QWidget *w)
    {
        QScreen *screen = QGuiApplication::primaryScreen();
        const QPoint origin = w->mapToGlobal(QPoint(0, 0));
        // The 4:3 picture is fitted into the area and centred.
        int pw = w->width(), ph = pw * 3 / 4;
        if (ph > w->height()) {
            ph = w->height();
            pw = ph * 4 / 3;
        }
        const QImage shot = screen->grabWindow(0, origin.x() + (w->width() - pw) / 2,
                                               origin.y() + (w->height() - ph) / 2, pw, ph).toImage();
        return readStamp(shot.scaled(720, 576, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    }
    bool waitForStamp(QWidget *w, const std::function<bool(const Stamp &)> &pred, int timeoutMs = 6000)
    {
        return QTest::qWaitFor([&] { auto s = stampIn(w); return s && pred(*s); }, timeoutMs);
    }
    void open(const QString &disc)
    {
        host = std::make_unique<QWidget>();
        host->setGeometry(20, 20, 768, 576);
        dvd = new VlcPlaybackControl(disc, host.get());
        dvd->setGeometry(0, 0, 768, 576);
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.get()));
        QVERIFY(!dvd->rendersIntoMemory());
    }

private slots:
    void cleanup()
    {
        host.reset();
        dvd = nullptr;
    }

    // The time read against the picture on screen for a while: how many reads were
    // within one frame, and the worst. A read whose two sides (before and after
    // the grab) differ by more than a frame is left out.
    std::pair<int, int> compareForAWhile(int ms, int *reads)
    {
        int close = 0, worst = 0;
        *reads = 0;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            QTest::qWait(40);
            const int before = framesOf(dvd->CurrentTime().toString());
            const auto s = stampIn(dvd);
            const int after = framesOf(dvd->CurrentTime().toString());
            if (!s || after - before > 1)
                continue;
            const int d = std::abs(after - s->frame);
            ++*reads;
            close += d <= 1 ? 1 : 0;
            worst = std::max(worst, d);
        }
        return {close, worst};
    }

    void playsIntoTheWindowAndReportsThePosition()
    {
        open(discs() + QStringLiteral("/plain.iso"));
        dvd->Play();
        QVERIFY(waitForStamp(dvd, [](const Stamp &s) { return s.title == 1 && s.frame > 10; }));
        // The position of the picture on screen, also while a chapter skip waits
        // for its first picture (the old one stays on screen until then).
        for (const bool skip : {false, true}) {
            if (skip)
                dvd->PlayNextChapter();
            int reads = 0;
            const auto [close, worst] = compareForAWhile(1500, &reads);
            const QString what = QStringLiteral("skip %1: %2 of %3 reads within a frame, worst %4")
                                     .arg(skip).arg(close).arg(reads).arg(worst);
            QVERIFY2(reads >= 10, qPrintable(what));
            // A sanitizer build's decoder threads fall behind libvlc's clock: there only
            // the calls are exercised, as tst_engine_playback is not run at all.
            // Known: after a chapter skip the clock now and then lets go of the old
            // picture half a second late or early; only steady play is held to a frame.
            if (!skip && !qEnvironmentVariableIsSet("ORVANTA_SLOW_BUILD"))
                QVERIFY2(close >= reads * 8 / 10 && worst <= 3, qPrintable(what));
        }
    }

    void reverseScanDrawsOverTheVideo()
    {
        open(discs() + QStringLiteral("/plain"));
        dvd->Play();
        QVERIFY(waitForStamp(dvd, [](const Stamp &s) { return s.title == 1 && s.frame > 100; }, 9000));
        dvd->PlayBackwards(Variant::fromDouble(1.0));
        QList<int> frames;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 1200) {
            QTest::qWait(30);
            const QString time = dvd->CurrentTime().toString();
            const auto s = stampIn(dvd);
            QVERIFY(s);
            if (frames.isEmpty() || frames.last() != s->frame) {
                frames << s->frame;
                // The scan's own pictures: the time is theirs (the grab may be a picture late).
                if (frames.size() > 2)
                    QVERIFY2(std::abs(framesOf(time) - s->frame) <= 1, qPrintable(time));
            }
        }
        const QString shown = QDebug::toString(frames);
        QVERIFY2(frames.size() >= 6, qPrintable(shown));
        for (int i = 2; i < frames.size(); ++i)
            QVERIFY2(frames[i] < frames[i - 1], qPrintable(shown));
        dvd->Resume();
        const int last = frames.last();
        QVERIFY(waitForStamp(dvd, [&](const Stamp &s) { return s.frame > last + 5 && s.frame < last + 40; }));
    }

    void mouseChoosesAMenuButton()
    {
        const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (xdotool.isEmpty())
            QSKIP("xdotool is needed to move the real pointer");
        open(discs() + QStringLiteral("/menu.iso"));
        dvd->Play();
        QVERIFY(waitForStamp(dvd, [](const Stamp &s) { return s.title == 0; }));
        QTest::qWait(400);
        // The second button ("Title 2") is at 360,410 on the 720x576 picture.
        const QPoint button = dvd->mapToGlobal(QPoint(360 * 768 / 720, 410));
        QProcess::execute(xdotool, {QStringLiteral("mousemove"), QString::number(button.x()),
                                    QString::number(button.y())});
        QTest::qWait(300);
        QProcess::execute(xdotool, {QStringLiteral("click"), QStringLiteral("1")});
        QVERIFY(waitForStamp(dvd, [](const Stamp &s) { return s.title == 2; }));
        // The title is read from libvlc's events, which may come just after the picture.
        const auto title = [this] {
            try {
                return dvd->CurrentTitle().toInt32();
            } catch (const playback::PlaybackError &) {
                return -1;
            }
        };
        QTRY_COMPARE_WITH_TIMEOUT(title(), 2, 2000);
    }

    void fullScreenAndBack_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Escape") << true;
        QTest::newRow("close request (Alt+F4)") << false;
    }
    void fullScreenAndBack()
    {
        QFETCH(bool, byEscape);
        open(discs() + QStringLiteral("/plain"));
        dvd->Play();
        QVERIFY(waitForStamp(dvd, [](const Stamp &s) { return s.title == 1; }));
        dvd->setFullScreenMode(Variant::fromBool(true));
        QVERIFY(dvd->isFullScreen());
        QWidget *full = dvd->fullScreenWindow();
        QVERIFY(full);
        QVERIFY(QTest::qWaitForWindowExposed(full));
        QTRY_COMPARE_WITH_TIMEOUT(full->geometry(), QGuiApplication::primaryScreen()->geometry(), 2000);
        // The picture now fills the screen: its stamp reads at full-screen scale.
        QVERIFY(waitForStamp(full, [](const Stamp &s) { return s.title == 1; }));
        if (byEscape)
            QTest::keyClick(full, Qt::Key_Escape);
        else
            full->close();
        QTRY_VERIFY_WITH_TIMEOUT(!dvd->isFullScreen(), 2000);
        QVERIFY(host->isVisible());
        QVERIFY(dvd->isPlaying());
        QVERIFY(waitForStamp(dvd, [](const Stamp &s) { return s.title == 1; }));
    }
};

QTEST_MAIN(EngineEmbeddedTest)
#include "tst_engine_embedded.moc"
