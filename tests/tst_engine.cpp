// The real engine on the generated sample discs, rendering into memory: one
// check a capability. What is on screen is read from the stamp burned into
// every picture (see scripts/make-sample-disc). How exact the position is, to
// the frame, is measured by bench/run-accuracy-check.
#include "app/FileListBox.h"
#include "playback/engine/Engine.h"
#include "playback/disc/Facts.h"
#include "playback/engine/DiscLookup.h"
#include "playback/engine/VlcPlaybackControl.h"
#include "support/PlayingDisc.h"
#include "support/SampleDisc.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using playback::PlaybackError;
using playback::Variant;
using playback::engine::VlcPlaybackControl;
using sampledisc::framesOf;
using sampledisc::FrameStamp;
using testsupport::SampleVariant;

class EngineTest : public QObject, protected testsupport::PlayingDisc {
    Q_OBJECT
    void playPlain()
    {
        play(testsupport::sampleFolder(SampleVariant::Plain));
        QVERIFY(waitFor([](const FrameStamp &s) { return s.title == 1 && s.frame >= 3; }));
    }

private slots:
    void initTestCase()
    {
        ORVANTA_REQUIRE_SAMPLE_DISC();
    }
    void cleanup() { dvd.reset(); }

    void chaptersAndTitles()
    {
        playPlain();
        QCOMPARE(dvd->CurrentChapter().toInt32(), 1);
        QCOMPARE(dvd->TotalTitleTime().toString(), QStringLiteral("00:00:24:00"));
        // The first new picture on screen after the skip is the new chapter's first
        // frame (the engine's own, until libvlc's comes).
        const std::optional<FrameStamp> before = onScreen();
        std::optional<FrameStamp> first;
        const auto watch = connect(dvd.get(), &VlcPlaybackControl::pictureShown, this, [&] {
            const auto s = onScreen();
            if (!first && s && before && (s->chapter != before->chapter || s->frame != before->frame))
                first = s;
        });
        dvd->PlayNextChapter();
        QVERIFY(waitFor([](const FrameStamp &s) { return s.chapter == 2 && s.frame >= 210; }));
        disconnect(watch);
        QVERIFY(first);
        QCOMPARE(std::pair(first->chapter, first->frame), std::pair(2, 200));
        QCOMPARE(dvd->CurrentChapter().toInt32(), 2);
        QVERIFY(std::abs(framesOf(dvd->CurrentTime().toString()) - onScreen()->frame) <= 1);
        dvd->PlayNextChapter();
        QVERIFY(waitFor([](const FrameStamp &s) { return s.chapter == 3 && s.frame >= 420; }));
        // Early in a chapter, the previous one starts again.
        dvd->PlayPrevChapter();
        QVERIFY(waitFor([](const FrameStamp &s) { return s.chapter == 2 && s.frame < 260; }));
        QCOMPARE(dvd->CurrentChapter().toInt32(), 2);
        // More than 3 s into a chapter, it starts again.
        QVERIFY(waitFor([](const FrameStamp &s) { return s.frame > 285; }));
        dvd->PlayPrevChapter();
        QVERIFY(waitFor([](const FrameStamp &s) { return s.chapter == 2 && s.frame < 230; }));
        // At the last chapter, the next is the first of the next title.
        dvd->PlayNextChapter();
        QVERIFY(waitFor([](const FrameStamp &s) { return s.chapter == 3 && s.frame >= 420; }));
        dvd->PlayNextChapter();
        QVERIFY(waitFor([](const FrameStamp &s) { return s.title == 2; }));
        QTRY_COMPARE_WITH_TIMEOUT(dvd->CurrentTitle().toInt32(), 2, 2000);
        QCOMPARE(dvd->CurrentChapter().toInt32(), 1);
        QCOMPARE(dvd->TotalTitleTime().toString(), QStringLiteral("00:00:10:00"));
    }

    // Fast play goes at the speed asked for: at x8 a chapter of 8 s passes in one
    // (at x1 this wait would end before); PlayForwards(1) is normal speed again.
    void fastForward()
    {
        playPlain();
        dvd->PlayForwards(Variant::fromDouble(8.0));
        QVERIFY(waitFor([](const FrameStamp &s) { return s.frame >= 400; }, 10000));
        dvd->PlayForwards(Variant::fromDouble(1.0));
        QVERIFY(waitFor([](const FrameStamp &s) { return s.frame >= 420; }));
        const int from = onScreen()->frame;
        QTest::qWait(2000); // some 50 pictures at x1, 400 at x8
        QVERIFY2(onScreen()->frame - from < 100, qPrintable(QString::number(onScreen()->frame - from)));
    }

    void pauseResumeStopPlay()
    {
        playPlain();
        dvd->Pause();
        QTest::qWait(300);
        const int held = onScreen()->frame;
        QTest::qWait(400);
        QCOMPARE(onScreen()->frame, held);
        dvd->Resume();
        QVERIFY(waitFor([&](const FrameStamp &s) { return s.frame > held + 5; }));
        dvd->Stop();
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->CurrentTime());
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->Pause());
        QVERIFY(dvd->lastFrame().isNull());
        dvd->Play(); // from the start again
        QVERIFY(waitFor([](const FrameStamp &s) { return s.title == 1 && s.frame < 25; }));
    }

    void reverseScan()
    {
        playPlain();
        dvd->PlayNextChapter();
        dvd->PlayNextChapter();
        QVERIFY(waitFor([](const FrameStamp &s) { return s.frame >= 430; }));
        dvd->PlayBackwards(Variant::fromDouble(2.0));
        // Earlier and earlier pictures (libvlc may show one more of its own as it
        // pauses); how many a second is the bench's to say.
        QList<int> frames;
        waitFor([&](const FrameStamp &s) {
            if (frames.isEmpty() || frames.last() != s.frame)
                frames << s.frame;
            return frames.size() >= 8;
        });
        QVERIFY2(frames.size() >= 8, qPrintable(QDebug::toString(frames)));
        for (int i = 2; i < frames.size(); ++i)
            QVERIFY2(frames[i] < frames[i - 1], qPrintable(QDebug::toString(frames)));
        // Back across the chapter start (frame 400) the chapter read follows the picture.
        QVERIFY(waitFor([](const FrameStamp &s) { return s.frame < 390; }));
        QCOMPARE(dvd->CurrentChapter().toInt32(), 2);
        // Play goes on forwards from the scan's picture.
        const int at = onScreen()->frame;
        dvd->Resume();
        QVERIFY(waitFor([&](const FrameStamp &s) { return s.frame > at + 5 && s.frame < at + 80; }));
    }

    // A disc whose first title set cannot be read at all: libvlc's navigation
    // cannot start it, so its other titles are read without it, with their time,
    // chapters, subtitles and the reverse scan.
    void titlesWithoutNavigation()
    {
        play(testsupport::sampleDiscRoot() + QStringLiteral("/broken/garbage-vts"));
        QVERIFY(waitFor([](const FrameStamp &s) { return s.title == 2 && s.frame >= 3; }));
        QCOMPARE(dvd->CurrentTitle().toInt32(), 2);
        QCOMPARE(dvd->TotalTitleTime().toString(), QStringLiteral("00:00:10:00"));
        QCOMPARE(dvd->CurrentChapter().toInt32(), 1);
        QCOMPARE(dvd->SubpictureStreamsAvailable().toInt32(), 1);
        dvd->PlayNextChapter(); // chapter 2 starts at frame 100
        QVERIFY(waitFor([](const FrameStamp &s) { return s.chapter == 2 && s.frame >= 103; }));
        QCOMPARE(dvd->CurrentChapter().toInt32(), 2);
        QVERIFY(std::abs(framesOf(dvd->CurrentTime().toString()) - onScreen()->frame) <= 2);
        // The subtitle, white at the bottom of the picture, comes and goes.
        const auto subtitleShown = [this] {
            const QImage picture = dvd->lastFrame().scaled(720, 576);
            int marks = 0;
            for (int x = 200; x < 520 && !picture.isNull(); ++x)
                for (int y = 470; y < 530; ++y)
                    marks += qGray(picture.pixel(x, y)) < 40 || qGray(picture.pixel(x, y)) > 200;
            return marks > 200;
        };
        QVERIFY(!subtitleShown());
        dvd->setSubpictureOn(Variant::fromBool(true));
        QTRY_VERIFY_WITH_TIMEOUT(subtitleShown(), 3000);
        dvd->setSubpictureOn(Variant::fromBool(false));
        QTRY_VERIFY_WITH_TIMEOUT(!subtitleShown(), 3000);
        dvd->PlayBackwards(Variant::fromDouble(2.0));
        QList<int> frames;
        waitFor([&](const FrameStamp &s) {
            if (frames.isEmpty() || frames.last() != s.frame)
                frames << s.frame;
            return frames.size() >= 6;
        });
        QVERIFY2(frames.size() >= 6 && frames.last() < frames[1], qPrintable(QDebug::toString(frames)));
        dvd->PlayPrevChapter();
        QVERIFY(waitFor([](const FrameStamp &s) { return s.chapter == 1 && s.frame < 40; }));
    }

    void menuByKeyboard()
    {
        play(testsupport::sampleFolder(SampleVariant::Menu));
        QVERIFY(waitFor([](const FrameStamp &s) { return s.title == 0; }));
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->CurrentChapter()); // a menu has no chapters
        // The menu's buttons take keys once its highlight has come: pressed again
        // until they do (Down from the second button goes back to the first), a few times at most.
        bool chosen = false;
        for (int attempt = 0; attempt < 5 && !chosen; ++attempt) {
            QTest::keyClick(dvd.get(), Qt::Key_Down);
            QTest::keyClick(dvd.get(), Qt::Key_Return);
            chosen = waitFor([](const FrameStamp &s) { return s.title == 2; }, 2000);
        }
        QVERIFY(chosen);
    }

    // The wide disc's streams 1 to 4 lie on sub-streams 0, 1, 2 (3 is stream 3's
    // letterbox variant) and 4; sub-stream k draws a marker square of its own.
    void subtitles()
    {
        play(testsupport::sampleFolder(SampleVariant::Wide));
        const auto streams = [this] {
            try {
                return dvd->SubpictureStreamsAvailable().toInt32();
            } catch (const PlaybackError &) {
                return -1; // not in the title yet
            }
        };
        QTRY_COMPARE_WITH_TIMEOUT(streams(), 4, 5000);
        // The picture painted into memory is 16:9, black bars above and below
        // (once the title's aspect has been read).
        dvd->resize(640, 480);
        const auto paintedHeight = [this] {
            const QImage painted = dvd->grab().toImage();
            QRect picture;
            for (int y = 0; y < painted.height(); ++y)
                if (qGray(painted.pixel(painted.width() / 2, y)) > 24)
                    picture |= QRect(0, y, painted.width(), 1);
            return picture.height();
        };
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(paintedHeight() - 360) <= 2, 5000);
        QStringList names;
        for (int n = 1; n <= 4; ++n)
            names << dvd->GetSubpictureLanguage(Variant::fromInt32(n)).toString();
        QCOMPARE(names, (QStringList{"Norwegian Bokmal", "Hebrew", "Japanese", "English"}));
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->setCurrentSubpictureStream(Variant::fromInt32(5)));
        const auto markers = [this] {
            const QImage picture = dvd->lastFrame().scaled(720, 576);
            QList<int> shown;
            for (int k = 0; k < 5; ++k)
                if (!picture.isNull() && qGray(picture.pixel(92 + 120 * k, 232)) > 200)
                    shown << k;
            return shown;
        };
        dvd->setSubpictureOn(Variant::fromBool(true));
        const QList<int> subStream = {0, 1, 2, 4};
        for (int stream = 1; stream <= 4; ++stream) {
            dvd->setCurrentSubpictureStream(Variant::fromInt32(stream));
            QTRY_COMPARE_WITH_TIMEOUT(markers(), QList<int>{subStream[stream - 1]}, 3000);
        }
        dvd->setSubpictureOn(Variant::fromBool(false)); // off keeps the choice
        QTRY_COMPARE_WITH_TIMEOUT(markers(), QList<int>{}, 3000);
        QCOMPARE(dvd->CurrentSubpictureStream().toInt32(), 4);
    }

    void muteAcrossTitles()
    {
        dvd = std::make_unique<VlcPlaybackControl>(testsupport::sampleFolder(SampleVariant::Plain));
        dvd->setMute(Variant::fromBool(true)); // before anything plays: remembered
        dvd->Play();
        // The control's own title, which the skips below go by, comes with libvlc's next event.
        const auto inTitle = [&](int title) {
            try {
                return dvd->CurrentTitle().toInt32() == title;
            } catch (const PlaybackError &) {
                return false;
            }
        };
        QTRY_VERIFY_WITH_TIMEOUT(inTitle(1) && dvd->outputMute() == 1, 3000);
        for (const int chapter : {2, 3}) {
            dvd->PlayNextChapter();
            QVERIFY(waitFor([&](const FrameStamp &s) { return s.chapter == chapter; }));
        }
        dvd->PlayNextChapter();
        // A second into title 2 the sound output has started again for it: still muted.
        QVERIFY(waitFor([](const FrameStamp &s) { return s.title == 2 && s.frame >= 25; }));
        QCOMPARE(dvd->outputMute(), 1);
    }

    // Before Play the facts describe the disc Play would play, the last one named. An image's
    // VIDEO_TS is inside it, and the file list reads it from there.
    void discFacts()
    {
        const QString image = testsupport::sampleImage(SampleVariant::Plain);
        dvd = std::make_unique<VlcPlaybackControl>(image);
        // Read on a thread of its own: the facts come with discChanged.
        QSignalSpy read(dvd.get(), &VlcPlaybackControl::discChanged);
        const auto folder = playback::disc::readFacts(testsupport::sampleSource(SampleVariant::Plain, playback::disc::SourceKind::Folder));
        QTRY_COMPARE_WITH_TIMEOUT(read.size(), 1, 10000);
        QCOMPARE(dvd->DVDUniqueID().toString(), folder->uniqueId);
        QCOMPARE(dvd->CurrentDiscSide().toInt32(), 1);
        QCOMPARE(dvd->DVDDirectory().toString(), image + QStringLiteral("/VIDEO_TS"));
        playback::installPlaybackEngine(image);
        app::FileListBox list;
        list.setPath(dvd->DVDDirectory().toString());
        QStringList files = QDir(testsupport::sampleVideoTs(SampleVariant::Plain)).entryList(QDir::Files);
        files.sort(Qt::CaseInsensitive);
        QCOMPARE(list.fileNames(), files);
        // Another disc (dropped on a window): what plays stops, the facts are the new disc's.
        dvd->Play();
        dvd->setDisc(testsupport::sampleFolder(SampleVariant::Menu));
        QVERIFY(!dvd->isLoaded());
        QCOMPARE(dvd->DVDDirectory().toString(), testsupport::sampleVideoTs(SampleVariant::Menu));
        QVERIFY(read.wait(10000));
        QVERIFY(dvd->DVDUniqueID().toString() != folder->uniqueId);
    }

    // The disc named on the command line is read before Play; what was read is
    // used only while its files are unchanged, and read again after that.
    void readAheadOnlyWhileUnchanged_data()
    {
        QTest::addColumn<QString>("cut");
        QTest::newRow("unchanged") << "";
        QTest::newRow("a VOB cut short") << "VTS_01_1.VOB";
    }
    void readAheadOnlyWhileUnchanged()
    {
        QFETCH(QString, cut);
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/disc");
        QVERIFY(testsupport::copyTree(testsupport::sampleFolder(SampleVariant::Plain), path));
        playback::engine::DiscLookup lookup(path);
        QSignalSpy read(&lookup, &playback::engine::DiscLookup::read);
        QVERIFY(read.wait(10000));
        const auto ahead = lookup.lookup(QStringLiteral("test"));
        QVERIFY(ahead);
        QTest::qWait(200);
        if (!cut.isEmpty()) {
            QFile file(path + QStringLiteral("/VIDEO_TS/") + cut);
            QVERIFY(file.resize(file.size() - 2048));
        }
        QCOMPARE(lookup.lookup(QStringLiteral("test")).has_value(), cut.isEmpty());
        if (!cut.isEmpty()) {
            QVERIFY(read.wait(10000));
            QVERIFY(lookup.lookup(QStringLiteral("test")));
        }
    }
};

QTEST_MAIN(EngineTest)
#include "tst_engine.moc"
