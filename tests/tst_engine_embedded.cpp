// The engine embedded in an X window: libvlc draws into a child window of the
// control, and the picture is read back from the screen. It plays there, the
// reverse scan draws over it, a DVD menu takes mouse clicks, and full screen
// goes and comes back. (How exactly the time follows the picture through jumps
// is measured by bench/run-accuracy-check.) The picture
// fills the control at every scale: the size checks, the menu and full screen
// run again in programs of their own on screens at 150 % and 200 %.
#include "playback/engine/VlcPlaybackControl.h"
#include "playback/engine/XVideoSurface.h"
#include "support/ForeignWindow.h"
#include "support/SampleDisc.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <QTest>

using playback::PlaybackError;
using playback::Variant;
using playback::engine::VlcPlaybackControl;
using sampledisc::FrameStamp;
using testsupport::SampleVariant;

class EngineEmbeddedTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QWidget> host;
    VlcPlaybackControl *dvd = nullptr;

    std::optional<FrameStamp> stampIn(QWidget *w)
    {
        const QPoint origin = w->mapToGlobal(QPoint(0, 0));
        return sampledisc::readFrameStamp(
            w->screen()->grabWindow(0, origin.x(), origin.y(), w->width(), w->height()).toImage());
    }
    // Where the picture is, in the screen's pixels of w: the box around what is not black.
    QRect pictureIn(QWidget *w)
    {
        const QPoint origin = w->mapToGlobal(QPoint(0, 0));
        const QImage shown = w->screen()->grabWindow(0, origin.x(), origin.y(), w->width(), w->height()).toImage();
        QRect box;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (qGray(shown.pixel(x, y)) > 24)
                    box |= QRect(x, y, 1, 1);
        return box;
    }
    bool waitFor(QWidget *w, const std::function<bool(const FrameStamp &)> &pred, int timeoutMs = 6000)
    {
        return QTest::qWaitFor([&] { const auto s = stampIn(w); return s && pred(*s); }, timeoutMs);
    }
    int time()
    {
        try {
            return sampledisc::framesOf(dvd->CurrentTime().toString());
        } catch (const PlaybackError &) {
            return -1;
        }
    }
    void play(const QString &disc)
    {
        // 768x576 of the screen's pixels at any scale
        const QSize size = (QSizeF(768, 576) / qApp->devicePixelRatio()).toSize();
        host = std::make_unique<QWidget>();
        host->setGeometry(QRect(QPoint(20, 20), size));
        dvd = new VlcPlaybackControl(disc, host.get());
        dvd->setGeometry(QRect(QPoint(0, 0), size));
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.get()));
        QVERIFY(!dvd->rendersIntoMemory());
        dvd->Play();
    }

private slots:
    void initTestCase() { ORVANTA_REQUIRE_SAMPLE_DISC(); }
    void cleanup()
    {
        host.reset();
        dvd = nullptr;
    }

    void reverseScanDrawsOverTheVideo()
    {
        play(testsupport::sampleImage(SampleVariant::Plain));
        QVERIFY(waitFor(dvd, [](const FrameStamp &s) { return s.title == 1 && s.frame > 60; }, 15000));
        dvd->PlayBackwards(Variant::fromDouble(1.0));
        // The pictures on screen, each new one earlier (how many a second is the bench's to say).
        QList<int> frames;
        waitFor(dvd, [&](const FrameStamp &s) {
            if (frames.isEmpty() || frames.last() != s.frame)
                frames << s.frame;
            return frames.size() >= 6;
        });
        QVERIFY2(frames.size() >= 6, qPrintable(QDebug::toString(frames)));
        for (int i = 2; i < frames.size(); ++i)
            QVERIFY2(frames[i] < frames[i - 1], qPrintable(QDebug::toString(frames)));
        dvd->Resume();
        const int last = frames.last();
        QList<int> after;
        const bool playsOn = waitFor(dvd, [&](const FrameStamp &s) {
            if (after.isEmpty() || after.last() != s.frame)
                after << s.frame;
            return s.frame > last + 5 && s.frame < last + 40;
        });
        QVERIFY2(playsOn, qPrintable(QDebug::toString(frames) + QDebug::toString(after)));
    }

    // Every picture shown for 1.5 s after Next, then after Previous: from the
    // chapter's first picture on (the engine's, then libvlc's), none is an
    // earlier frame than the one before it, and the picture moves on.
    void skipsNeverStepBack()
    {
        play(testsupport::sampleImage(SampleVariant::Plain));
        QVERIFY(waitFor(dvd, [](const FrameStamp &s) { return s.title == 1 && s.frame > 5; }, 15000));
        for (const int chapter : {2, 1}) {
            chapter == 2 ? dvd->PlayNextChapter() : dvd->PlayPrevChapter();
            QList<int> frames;
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 1500) {
                const auto s = stampIn(dvd);
                if (s && s->title == 1 && (s->chapter == chapter || !frames.isEmpty()) && (frames.isEmpty() || frames.last() != s->frame))
                    frames << s->frame;
                QTest::qWait(10); // each picture stays 40 ms
            }
            QVERIFY2(frames.size() > 5 && std::is_sorted(frames.begin(), frames.end()), qPrintable(QDebug::toString(frames)));
        }
    }

    // Read as the status panel reads it: the time never goes up while the scan
    // goes back, over a chapter's start and at the title's start.
    void reverseScanTimeNeverRises_data()
    {
        QTest::addColumn<int>("chapterSkips");
        QTest::addColumn<int>("fromFrame");
        QTest::addColumn<double>("speed");
        QTest::newRow("x1 from title 2's chapter 2") << 4 << 118 << 1.0;
        QTest::newRow("x8 from title 1's chapter 2") << 1 << 230 << 8.0;
    }
    void reverseScanTimeNeverRises()
    {
        QFETCH(int, chapterSkips);
        QFETCH(int, fromFrame);
        QFETCH(double, speed);
        play(testsupport::sampleImage(SampleVariant::Plain));
        for (int i = 0; i < chapterSkips; ++i) {
            QVERIFY(waitFor(dvd, [](const FrameStamp &s) { return s.frame > 2; }));
            const auto before = stampIn(dvd);
            dvd->PlayNextChapter();
            QVERIFY(waitFor(dvd, [&](const FrameStamp &s) { return s.chapter != before->chapter || s.title != before->title; }));
        }
        QVERIFY(waitFor(dvd, [&](const FrameStamp &s) { return s.frame >= fromFrame && s.frame < fromFrame + 20; }));
        dvd->PlayBackwards(Variant::fromDouble(speed));
        QList<int> times; // until a second after the scan, or at most 20 s
        for (int after = 0, reads = 0; after < 20 && reads < 400; after += !dvd->isScanningBackwards(), ++reads) {
            times << time();
            QTest::qWait(50);
        }
        const qsizetype start = times.indexOf(0);
        QVERIFY2(start > 0, qPrintable(QDebug::toString(times)));
        for (qsizetype i = 1; i <= start; ++i)
            QVERIFY2(times[i] <= times[i - 1], qPrintable(QDebug::toString(times)));
    }

    // The picture fills the control, and in full screen the screen's width (both 4:3
    // on the 5:4 screen), to within 2 of the screen's pixels, once libvlc has
    // taken up the window's size.
    void pictureFillsTheControl()
    {
        QRect shown, filled;
        const auto fills = [&](QWidget *w) {
            const QSize size = w->size() * qApp->devicePixelRatio();
            filled = QRect(0, (size.height() - size.width() * 3 / 4) / 2, size.width(), size.width() * 3 / 4);
            shown = pictureIn(w);
            const QMargins slack(2, 2, 2, 2);
            return shown.marginsAdded(slack).contains(filled) && filled.marginsAdded(slack).contains(shown);
        };
        play(testsupport::sampleImage(SampleVariant::Plain));
        QVERIFY(waitFor(dvd, [](const FrameStamp &s) { return s.frame > 10; }));
        QTRY_VERIFY2_WITH_TIMEOUT(fills(dvd), qPrintable(QDebug::toString(shown) + QDebug::toString(filled)), 3000);
        dvd->setFullScreenMode(Variant::fromBool(true));
        QWidget *full = dvd->fullScreenWindow();
        QVERIFY(full && QTest::qWaitForWindowExposed(full));
        QTRY_VERIFY2_WITH_TIMEOUT(fills(full), qPrintable(QDebug::toString(shown) + QDebug::toString(filled)), 3000);
    }

    void atOtherScales_data()
    {
        QTest::addColumn<QString>("scale");
        QTest::newRow("150 %") << "1.5";
        QTest::newRow("200 %") << "2";
    }
    void atOtherScales()
    {
        QFETCH(QString, scale);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("pictureFillsTheControl"), QStringLiteral("mouseChoosesAMenuButton")});
        QVERIFY(program.waitForFinished(120000));
        QVERIFY2(program.exitCode() == 0, program.readAll().constData());
    }

    void mouseChoosesAMenuButton()
    {
        play(testsupport::sampleImage(SampleVariant::Menu));
        QVERIFY(waitFor(dvd, [](const FrameStamp &s) { return s.title == 0; }));
        // The second button ("Title 2") is at 360,410 on the 720x576 picture; xdotool
        // takes the screen's pixels. The buttons take the mouse once the menu's
        // highlight has come: clicked again until they do, a few times at most.
        const QPoint button = dvd->mapToGlobal(QPoint(360 * dvd->width() / 720, 410 * dvd->height() / 576))
                              * qApp->devicePixelRatio();
        bool chosen = false;
        for (int attempt = 0; attempt < 5 && !chosen; ++attempt) {
            QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(button.x() + attempt),
                                                          QString::number(button.y()), QStringLiteral("click"),
                                                          QStringLiteral("1")});
            chosen = waitFor(dvd, [](const FrameStamp &s) { return s.title == 2; }, 2000);
        }
        QVERIFY(chosen);
    }

    void fullScreenAndBack_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Escape") << true;
        QTest::newRow("close request (Alt+F4)") << false;
    }
    // libvlc makes a window of its own inside the surface as its output opens, and
    // draws its first picture there unscaled: the surface's black cover is raised
    // over that window as it is made, and goes a moment after it is shown.
    void blackOverLibvlcsFirstPicture()
    {
        QWidget host;
        host.resize(320, 240);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        playback::engine::XVideoSurface surface(host.winId());
        surface.resize({320, 240});
        surface.blackUntilVideoSettles();
        const testsupport::ForeignWindow libvlcs(surface.window());
        QVERIFY(libvlcs.isValid());
        // Resized as libvlc's window is shown: Xlib reads the waiting events as it
        // flushes, and the surface must still see them, though its socket has
        // nothing more to read.
        QThread::msleep(50);
        surface.resize({320, 240});
        QTRY_COMPARE_WITH_TIMEOUT(libvlcs.topChild(), std::pair(false, true), 1000); // black over libvlc's
        QTRY_COMPARE_WITH_TIMEOUT(libvlcs.topChild(), std::pair(false, false), 2000); // and gone
    }

    void fullScreenAndBack()
    {
        QFETCH(bool, byEscape);
        play(testsupport::sampleFolder(SampleVariant::Plain));
        QVERIFY(waitFor(dvd, [](const FrameStamp &s) { return s.title == 1; }));
        dvd->setFullScreenMode(Variant::fromBool(true));
        QWidget *full = dvd->fullScreenWindow();
        QVERIFY(full && QTest::qWaitForWindowExposed(full));
        QTRY_COMPARE_WITH_TIMEOUT(full->geometry(), QGuiApplication::primaryScreen()->geometry(), 2000);
        // The picture now fills the screen.
        QVERIFY(waitFor(full, [](const FrameStamp &s) { return s.title == 1; }));
        if (byEscape)
            QTest::keyClick(full, Qt::Key_Escape);
        else
            full->close();
        QTRY_VERIFY_WITH_TIMEOUT(!dvd->isFullScreen(), 2000);
        QVERIFY(dvd->isPlaying());
        QVERIFY(waitFor(dvd, [](const FrameStamp &s) { return s.title == 1; }));
    }
};

QTEST_MAIN(EngineEmbeddedTest)
#include "tst_engine_embedded.moc"
