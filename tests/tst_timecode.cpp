// The time strings of the playback control: "HH:MM:SS:FF".

#include "playback/engine/Timecode.h"

#include <QtTest>

using playback::engine::formatTimecode;
using playback::engine::timecodeFrameRate;

class TimecodeTest : public QObject {
    Q_OBJECT
private slots:
    void format_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<int>("rate");
        QTest::addColumn<QString>("expected");
        QTest::newRow("start") << qint64(0) << 25 << "00:00:00:00";
        QTest::newRow("one PAL frame") << qint64(40) << 25 << "00:00:00:01";
        QTest::newRow("just before a frame") << qint64(39) << 25 << "00:00:00:00";
        QTest::newRow("last PAL frame") << qint64(999) << 25 << "00:00:00:24";
        QTest::newRow("NTSC frame") << qint64(1500) << 30 << "00:00:01:15";
        QTest::newRow("minutes and hours") << qint64(((1 * 60 + 2) * 60 + 3) * 1000 + 480) << 25 << "01:02:03:12";
        QTest::newRow("past 99 hours") << qint64(100LL * 3600 * 1000) << 25 << "100:00:00:00";
        QTest::newRow("negative counts as zero") << qint64(-500) << 25 << "00:00:00:00";
        QTest::newRow("unknown rate is PAL") << qint64(80) << 0 << "00:00:00:02";
    }
    void format()
    {
        QFETCH(qint64, ms);
        QFETCH(int, rate);
        QFETCH(QString, expected);
        QCOMPARE(formatTimecode(ms, rate), expected);
    }

    void frameRate_data()
    {
        QTest::addColumn<double>("fps");
        QTest::addColumn<int>("expected");
        QTest::newRow("PAL") << 25.0 << 25;
        QTest::newRow("NTSC 29.97") << 29.97 << 30;
        QTest::newRow("NTSC 30") << 30.0 << 30;
        QTest::newRow("not known") << 0.0 << 25;
        QTest::newRow("nonsense") << -1.0 << 25;
        QTest::newRow("NaN") << std::nan("") << 25;
    }
    void frameRate()
    {
        QFETCH(double, fps);
        QFETCH(int, expected);
        QCOMPARE(timecodeFrameRate(fps), expected);
    }
};

QTEST_MAIN(TimecodeTest)
#include "tst_timecode.moc"
