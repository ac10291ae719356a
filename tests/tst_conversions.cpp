// The conversions callers apply to the playback control's results, the field
// reading of the status display, and the control's time strings, "HH:MM:SS:FF".
#include "app/Errors.h"
#include "playback/Variant.h"
#include "playback/engine/Timecode.h"

#include <cmath>

#include <QTest>

using playback::Variant;

Q_DECLARE_METATYPE(Variant)

namespace {
enum Outcome { Value, Overflow, Mismatch };
enum Target { Int16, Int32, Bool };

qint64 convert(const Variant &v, int target)
{
    switch (target) {
    case Int16: return v.toInt16();
    case Int32: return v.toInt32();
    default: return v.toBool() ? 1 : 0;
    }
}
} // namespace

class ConversionsTest : public QObject {
    Q_OBJECT
private slots:
    void toNumber_data()
    {
        QTest::addColumn<Variant>("value");
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<qint64>("expected");
        auto row = [](const char *name, const Variant &v, Target t, Outcome o, qint64 e = 0) {
            QTest::newRow(name) << v << int(t) << int(o) << e;
        };
        row("16: upper bound", Variant::fromInt32(32767), Int16, Value, 32767);
        row("16: one above", Variant::fromInt32(32768), Int16, Overflow);
        row("16: numeric text", Variant::fromString(QStringLiteral(" 12 ")), Int16, Value, 12);
        row("16: text", Variant::fromString(QStringLiteral("abc")), Int16, Mismatch);
        row("16: half to even down", Variant::fromDouble(2.5), Int16, Value, 2);
        row("16: half to even up", Variant::fromDouble(3.5), Int16, Value, 4);
        row("16: rounds into overflow", Variant::fromDouble(32767.5), Int16, Overflow);
        row("32: above max", Variant::fromDouble(2147483648.0), Int32, Overflow);
        row("32: sign", Variant::fromString(QStringLiteral("-5")), Int32, Value, -5);
        row("32: blank text", Variant::fromString(QStringLiteral("  ")), Int32, Mismatch);
        row("32: text with colon", Variant::fromString(QStringLiteral("1:")), Int32, Mismatch);
        row("32: empty text", Variant::fromString(QString()), Int32, Mismatch);
        row("bool: -1", Variant::fromInt16(-1), Bool, Value, 1);
        row("bool: text true", Variant::fromString(QStringLiteral("true")), Bool, Value, 1);
        row("bool: text False", Variant::fromString(QStringLiteral("False")), Bool, Value, 0);
        row("bool: text yes", Variant::fromString(QStringLiteral("yes")), Bool, Mismatch);
    }
    void toNumber()
    {
        QFETCH(Variant, value);
        QFETCH(int, target);
        QFETCH(int, outcome);
        QFETCH(qint64, expected);
        switch (outcome) {
        case Value: QCOMPARE(convert(value, target), expected); break;
        case Overflow: QVERIFY_THROWS_EXCEPTION(app::Overflow, convert(value, target)); break;
        case Mismatch: QVERIFY_THROWS_EXCEPTION(app::TypeMismatch, convert(value, target)); break;
        }
    }

    // A clock's time within a picture reads as the picture's start: film pictures
    // (1001/24 ms) start at frames 0, 1, 2, 3, 5, 6, ... of the NTSC time code.
    void timecode_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<double>("fps"); // as libvlc reports it
        QTest::addColumn<double>("picture"); // the picture period, 0 when not known
        QTest::addColumn<QString>("expected");
        const double film = 1001.0 / 24;
        QTest::newRow("one PAL frame") << qint64(40) << 25.0 << 0.0 << "00:00:00:01";
        QTest::newRow("last PAL frame") << qint64(999) << 25.0 << 0.0 << "00:00:00:24";
        QTest::newRow("NTSC 29.97") << qint64(1500) << 29.97 << 0.0 << "00:00:01:15";
        QTest::newRow("minutes and hours") << qint64(((1 * 60 + 2) * 60 + 3) * 1000 + 480) << 25.0 << 0.0 << "01:02:03:12";
        QTest::newRow("past 99 hours") << qint64(100LL * 3600 * 1000) << 25.0 << 0.0 << "100:00:00:00";
        QTest::newRow("unknown rate is PAL") << qint64(80) << std::nan("") << 0.0 << "00:00:00:02";
        QTest::newRow("film picture 4, late in it") << qint64(205) << 29.97 << film << "00:00:00:05";
        QTest::newRow("film picture 4, its time rounded down") << qint64(166) << 29.97 << film << "00:00:00:05";
        QTest::newRow("film picture 3, just before picture 4") << qint64(165) << 29.97 << film << "00:00:00:03";
        QTest::newRow("film picture 1200, after 50 s") << qint64(50070) << 29.97 << film << "00:00:50:01";
    }
    void timecode()
    {
        QFETCH(qint64, ms);
        QFETCH(double, fps);
        QFETCH(double, picture);
        QFETCH(QString, expected);
        using namespace playback::engine;
        QCOMPARE(formatTimecode(pictureStartMs(ms, picture), timecodeFrameRate(fps)), expected);
    }
};

QTEST_APPLESS_MAIN(ConversionsTest)
#include "tst_conversions.moc"
