// The real engine on sample discs laid out as bought discs are: programs that
// are not chapters, many short chapters, cells that end in a still, a first-play
// program, film with pulldown, a title over an hour. One check a capability; what is on screen is read from the stamp
// (see scripts/make-sample-disc).
#include "playback/disc/Facts.h"
#include "playback/engine/VlcPlaybackControl.h"
#include "support/PlayingDisc.h"
#include "support/SampleDisc.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using playback::Variant;
using playback::engine::VlcPlaybackControl;
using sampledisc::framesOf;
using sampledisc::FrameStamp;
using testsupport::SampleVariant;

class EngineDiscsTest : public QObject, protected testsupport::PlayingDisc {
    Q_OBJECT

private slots:
    void initTestCase() { ORVANTA_REQUIRE_SAMPLE_DISC(); }
    void cleanup() { dvd.reset(); }

    // Chapters of two programs each (cells of 4 s, chapters at 0, 8 and 16 s): the
    // length and the time run through every cell, the chapter is the chapter.
    void programsThatAreNotChapters()
    {
        play(testsupport::sampleImage(SampleVariant::Programs));
        QVERIFY(waitFor([](const FrameStamp &s) { return s.frame >= 3; }));
        QCOMPARE(dvd->TotalTitleTime().toString(), QStringLiteral("00:00:24:00"));
        for (int chapter : {2, 3}) {
            dvd->PlayNextChapter();
            QVERIFY(waitFor([&](const FrameStamp &s) { return s.chapter == chapter && s.frame >= 200 * chapter - 190; }));
            QCOMPARE(dvd->CurrentChapter().toInt32(), chapter);
            QVERIFY(std::abs(framesOf(dvd->CurrentTime().toString()) - onScreen()->frame) <= 1);
        }
        // Past the second cell of the last chapter, the time still follows the picture.
        QVERIFY(waitFor([](const FrameStamp &s) { return s.frame >= 505; }));
        QVERIFY(std::abs(framesOf(dvd->CurrentTime().toString()) - onScreen()->frame) <= 1);
    }

    // Chapters of 13 pictures: the chapter read is the one on screen (libvlc's
    // own reading runs half a second ahead), and Next goes on from it.
    void shortChapters()
    {
        play(testsupport::sampleImage(SampleVariant::Chapters));
        QStringList wrong;
        QVERIFY(waitFor([&](const FrameStamp &s) {
            const int chapter = dvd->CurrentChapter().toInt32();
            if (s.frame % 13 != 0 && s.frame % 13 != 12 && chapter != s.frame / 13 + 1)
                wrong << QStringLiteral("frame %1 read as chapter %2").arg(s.frame).arg(chapter);
            return s.frame >= 80;
        }));
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral(", "))));
        for (int i = 0; i < 3; ++i) {
            const int chapter = dvd->CurrentChapter().toInt32();
            dvd->PlayNextChapter();
            QVERIFY(waitFor([&](const FrameStamp &s) { return s.frame >= 13 * chapter; }));
            QCOMPARE(onScreen()->frame / 13 + 1, chapter + 1);
        }
    }

    // Cells that end in a still: a timed one (cell 2, 4 s), then two of one
    // picture each, as a gallery's: an endless one (cell 3) and a timed one
    // (cell 4, 5 s). The held picture is the cell's last, also in fast forward,
    // the clock stands on it, Pause and Continue keep it, Next from the endless
    // still goes on to the next one (libdvdnav would skip it), Next leaves that
    // one too, and the title's end is an end and not damage.
    void stillCells()
    {
        const auto facts = playback::disc::readFacts(testsupport::sampleSource(SampleVariant::Stills, playback::disc::SourceKind::Image));
        const std::vector<playback::disc::TitleFacts::Still> stills{{4000, 6000, 4}, {6000, 6040, 255}, {6040, 6080, 5}};
        QVERIFY(facts && facts->titles.size() == 1);
        QCOMPARE(facts->titles[0].stills, stills);
        play(testsupport::sampleImage(SampleVariant::Stills));
        QSignalSpy stopped(dvd.get(), &VlcPlaybackControl::playbackStopped);
        const auto stillOn = [&](int frame) {
            if (!waitFor([&](const FrameStamp &s) { return s.frame >= frame; }))
                return false;
            QTest::qWait(600);
            return onScreen()->frame == frame && framesOf(dvd->CurrentTime().toString()) == frame;
        };
        QVERIFY(waitFor([](const FrameStamp &s) { return s.frame >= 75; }));
        dvd->PlayForwards(Variant::fromDouble(2.0));
        QVERIFY(stillOn(149));
        dvd->PlayForwards(Variant::fromDouble(1.0));
        QVERIFY(stillOn(150));
        dvd->Pause();
        QTest::qWait(300);
        dvd->Resume();
        QTest::qWait(300);
        QCOMPARE(onScreen()->frame, 150);
        QCOMPARE(dvd->CurrentChapter().toInt32(), 3);
        dvd->PlayNextChapter();
        QVERIFY(stillOn(151));
        dvd->PlayNextChapter();
        QVERIFY(waitFor([](const FrameStamp &s) { return s.frame >= 165; }));
        QCOMPARE(dvd->CurrentChapter().toInt32(), 5);
        QVERIFY(QTest::qWaitFor([&] { return !stopped.isEmpty(); }, 5000));
        QCOMPARE(stopped.first().first().toString(), QString());
    }

    // A disc starts with its first-play program, here a warning title whose end
    // calls the menu. The menu's readings are its own (title 0, its time and
    // length); its Play button starts the feature in another title set, whose
    // clock starts at the title's start.
    void firstPlayProgramAndMenu()
    {
        play(testsupport::sampleImage(SampleVariant::Warning));
        QVERIFY(waitFor([](const FrameStamp &s) { return s.title == 1 && s.frame >= 3; }));
        QCOMPARE(dvd->CurrentTitle().toInt32(), 1);
        QVERIFY(waitFor([](const FrameStamp &s) { return s.title == 0; }));
        QTRY_COMPARE(dvd->CurrentTitle().toInt32(), 0);
        QCOMPARE(dvd->TotalTitleTime().toString(), QStringLiteral("00:00:01:00"));
        QVERIFY(framesOf(dvd->CurrentTime().toString()) <= 25);
        bool started = false;
        for (int attempt = 0; attempt < 5 && !started; ++attempt) {
            QTest::keyClick(dvd.get(), Qt::Key_Return);
            started = waitFor([](const FrameStamp &s) { return s.title == 2; }, 2000);
        }
        QVERIFY(started);
        for (int frame : {5, 25}) {
            QVERIFY(waitFor([&](const FrameStamp &s) { return s.title == 2 && s.frame >= frame; }));
            QVERIFY2(std::abs(framesOf(dvd->CurrentTime().toString()) - onScreen()->frame) <= 1,
                     qPrintable(dvd->CurrentTime().toString() + QStringLiteral(" at picture ") + QString::number(onScreen()->frame)));
        }
        QCOMPARE(dvd->TotalTitleTime().toString(), QStringLiteral("00:00:12:00"));
    }

    // Film at 23.976 pictures a second with 3:2 pulldown, on an NTSC 16:9 disc:
    // the position follows the film's pictures (a chapter's start gives it again
    // where libvlc drops a picture between cells), and the reverse scan goes back
    // through them in order.
    void filmWithPulldown()
    {
        play(testsupport::sampleImage(SampleVariant::Film));
        for (int picture : {60, 130}) { // before and after the cells of chapters 1 and 2 meet
            QVERIFY(waitFor([&](const FrameStamp &s) { return s.frame >= picture; }));
            const int shown = onScreen()->frame;
            const std::int64_t error = *dvd->positionMs() - shown * 1001 / 24;
            QVERIFY2(std::abs(error) <= 34, qPrintable(QStringLiteral("%1 ms off at picture %2").arg(error).arg(shown)));
        }
        QCOMPARE(dvd->TotalTitleTime().toString(), QStringLiteral("00:00:20:00"));
        dvd->PlayBackwards(Variant::fromDouble(1.0));
        QList<int> back{onScreen()->frame};
        const bool stepped = QTest::qWaitFor([&] {
            if (const auto s = onScreen(); s && s->frame != back.last())
                back << s->frame;
            return back.size() > 12;
        }, 5000);
        QVERIFY2(stepped && std::is_sorted(back.rbegin(), back.rend()), qPrintable(QDebug::toString(back)));
    }

    // A title of 61 minutes: times past the hour, and skips at its far end.
    // The stamp's frame counts pictures within the minute.
    void titleOverAnHour()
    {
        play(testsupport::sampleFolder(SampleVariant::Long));
        QVERIFY(waitFor([](const FrameStamp &s) { return s.frame >= 3; }));
        QCOMPARE(dvd->TotalTitleTime().toString(), QStringLiteral("01:01:00:00"));
        for (const auto &[chapter, minute] : {std::pair(2, 30), std::pair(3, 59), std::pair(4, 60)}) {
            dvd->PlayNextChapter();
            QVERIFY(waitFor([&](const FrameStamp &s) { return s.chapter == chapter && s.frame >= 5; }));
            QCOMPARE(dvd->CurrentChapter().toInt32(), chapter);
            const int error = framesOf(dvd->CurrentTime().toString()) - (minute * 60 * 25 + onScreen()->frame);
            QVERIFY2(std::abs(error) <= 1, qPrintable(dvd->CurrentTime().toString()));
        }
        dvd->PlayPrevChapter(); // early in the last chapter: the one before
        QVERIFY(waitFor([](const FrameStamp &s) { return s.chapter == 3; }));
        QCOMPARE(dvd->CurrentTime().toString().left(5), QStringLiteral("00:59"));
    }
};

QTEST_MAIN(EngineDiscsTest)
#include "tst_engine_discs.moc"
