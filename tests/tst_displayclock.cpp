// Where the picture is when libvlc draws it itself: from libvlc's time readings,
// the disc's mux lead and the wall clock.

#include "playback/engine/DisplayClock.h"

#include <QtTest>

using playback::engine::DisplayClock;

namespace {

// One step of a script: at wall time atMs, libvlc reports a time (value >= 0), a
// chapter change (-1), a pause (-2), a resume (-3), the end of a pinned hold (-5),
// where the seek landed (-6, expect: there), a hold pinned (-7) or the position is read and must be
// expect (value -4, expect -1: nothing known yet).
struct Step {
    int atMs;
    qint64 value;
    qint64 expect = 0;
};
constexpr qint64 kChapter = -1, kPause = -2, kResume = -3, kRead = -4, kRelease = -5, kLanded = -6, kPin = -7;

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class DisplayClockTest : public QObject {
    Q_OBJECT
private slots:
    void position_data()
    {
        QTest::addColumn<qint64>("muxLead");
        QTest::addColumn<qint64>("seekTo"); // -1: plain start
        QTest::addColumn<qint64>("holdAt");
        QTest::addColumn<double>("speed");
        QTest::addColumn<QList<Step>>("script");
        // Readings as libvlc gives them on the sample disc: a VOBU start's reading
        // is the highest, those within the VOBU run behind.
        QTest::newRow("the highest reading less the lead, moving with the clock")
            << qint64(730) << qint64(-1) << qint64(0) << 1.0
            << QList<Step>{{0, kRead, -1}, {100, 1000}, {120, 900}, {150, kRead, 1000 + 50 - 730 + 15},
                           {400, 1150}, {900, kRead, 1000 + 800 - 730 + 15}};
        QTest::newRow("a higher reading moves the clock on")
            << qint64(300) << qint64(-1) << qint64(0) << 1.0
            << QList<Step>{{100, 1000}, {500, 1420}, {600, kRead, 1420 + 100 - 300 + 15}};
        QTest::newRow("a reading seconds ahead for a moment is a glitch")
            << qint64(300) << qint64(-1) << qint64(0) << 1.0
            << QList<Step>{{100, 1000}, {200, 9000}, {250, kRead, 1000 + 150 - 300 + 15}};
        QTest::newRow("a jump that lasts is taken")
            << qint64(300) << qint64(-1) << qint64(0) << 1.0
            << QList<Step>{{100, 1000}, {200, 9000}, {600, 9400}, {700, kRead, 9400 + 100 - 300 + 15}};
        QTest::newRow("the readings that come with a chapter change are early")
            << qint64(300) << qint64(-1) << qint64(0) << 1.0
            << QList<Step>{{100, 1000}, {300, kChapter}, {305, 1300}, {400, kRead, 1000 + 300 - 300 + 15}};
        QTest::newRow("old readings are forgotten after a while")
            << qint64(300) << qint64(-1) << qint64(0) << 1.0
            << QList<Step>{{100, 1000}, {200, 1000}, {2000, 2700}, {2100, kRead, 2700 + 100 - 300 + 15}};
        QTest::newRow("paused, the picture stays; resumed, it goes on from there")
            << qint64(300) << qint64(-1) << qint64(0) << 1.0
            << QList<Step>{{100, 1000}, {300, kPause}, {500, 5000}, {900, kRead, 1000 + 200 - 300 + 15},
                           {1000, kResume}, {1100, kRead, 1000 + 300 - 300 + 15}};
        // Seeks: libvlc was sent to 8000 ms while the picture at 3000 ms was on screen.
        QTest::newRow("readings from before the seek are ignored")
            << qint64(300) << qint64(8000) << qint64(3000) << 1.0
            << QList<Step>{{10, 3700}, {20, kRead, 8000}, {100, 8400}, {700, kRead, 8400 + 600 - 300 + 15}};
        QTest::newRow("long lead: the old picture stays until the new one is due")
            << qint64(730) << qint64(8000) << qint64(3000) << 1.0
            << QList<Step>{{50, 8000}, {400, kRead, 3000}, {700, kRead, 3000}, {800, kRead, 8000 + 750 - 730 + 15},
                           {1200, kRead, 8000 + 1150 - 730 + 15}};
        QTest::newRow("long lead, no readings yet: the new picture is due after the lead")
            << qint64(730) << qint64(8000) << qint64(3000) << 1.0
            << QList<Step>{{700, kRead, 3000}, {800, kRead, 8000}};
        QTest::newRow("a picture drawn over libvlc's holds until released, then where it landed")
            << qint64(280) << qint64(8000) << qint64(8000) << 1.0
            << QList<Step>{{0, kPin}, {50, 8000}, {200, kRead, 8000}, {250, kLanded, 8240}, {300, kRelease},
                           {310, kRead, 8240}, {900, kRead, 8000 - 50 + 900 - 280 + 15}};
        QTest::newRow("x2: 400 ms of wall time are 800 ms of the title, until resumed at x1")
            << qint64(300) << qint64(-1) << qint64(0) << 2.0
            << QList<Step>{{100, 1000}, {500, kRead, 1000 + 800 - 300 + 15}, {500, kResume},
                           {700, kRead, 1000 + 800 + 200 - 300 + 15}};
        QTest::newRow("short lead: the new picture comes at once")
            << qint64(280) << qint64(8000) << qint64(3000) << 1.0
            << QList<Step>{{30, kRead, 8000}, {50, 8100}, {100, kRead, 8000}, {500, kRead, 8100 + 450 - 280 + 15}};
    }

    void position()
    {
        QFETCH(qint64, muxLead);
        QFETCH(qint64, seekTo);
        QFETCH(qint64, holdAt);
        QFETCH(double, speed);
        QFETCH(QList<Step>, script);
        DisplayClock clock;
        const auto t0 = DisplayClock::Clock::now();
        auto at = [&](int ms) { return t0 + std::chrono::milliseconds(ms); };
        if (seekTo >= 0)
            clock.restart(speed, seekTo, holdAt, t0);
        else
            clock.restart(speed, std::nullopt, std::nullopt, t0);
        for (const Step &step : script) {
            if (step.value == kChapter) {
                clock.chapterChanged(at(step.atMs));
            } else if (step.value == kPause) {
                clock.freeze(muxLead, at(step.atMs));
            } else if (step.value == kResume) {
                clock.resume(1.0, muxLead, at(step.atMs));
            } else if (step.value == kPin) {
                clock.holdUntilReleased();
            } else if (step.value == kRelease) {
                clock.releaseHold();
            } else if (step.value == kLanded) {
                clock.landsAt(step.expect);
            } else if (step.value == kRead) {
                const auto shown = clock.positionMs(muxLead, at(step.atMs));
                const QString where = QStringLiteral("read at %1 ms").arg(step.atMs);
                if (step.expect < 0)
                    QVERIFY2(!shown, qPrintable(where));
                else
                    QVERIFY2(shown && std::abs(*shown - step.expect) <= 1,
                             qPrintable(where + QStringLiteral(": %1").arg(shown.value_or(-1))));
            } else {
                clock.observe(step.value, at(step.atMs));
            }
        }
    }
};

QTEST_GUILESS_MAIN(DisplayClockTest)
#include "tst_displayclock.moc"
