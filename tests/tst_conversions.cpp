// The conversions callers apply to the playback control's results, and the
// field reading of the status display.
#include "app/Errors.h"
#include "playback/Variant.h"

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
        row("16: lower bound", Variant::fromInt32(-32768), Int16, Value, -32768);
        row("16: one above", Variant::fromInt32(32768), Int16, Overflow);
        row("16: one below", Variant::fromInt32(-32769), Int16, Overflow);
        row("16: True", Variant::fromBool(true), Int16, Value, -1);
        row("16: numeric text", Variant::fromString(QStringLiteral(" 12 ")), Int16, Value, 12);
        row("16: text", Variant::fromString(QStringLiteral("abc")), Int16, Mismatch);
        row("16: half to even down", Variant::fromDouble(2.5), Int16, Value, 2);
        row("16: half to even up", Variant::fromDouble(3.5), Int16, Value, 4);
        row("16: rounds into overflow", Variant::fromDouble(32767.5), Int16, Overflow);
        row("16: empty", Variant(), Int16, Value, 0);
        row("32: max", Variant::fromDouble(2147483647.0), Int32, Value, 2147483647);
        row("32: min", Variant::fromDouble(-2147483648.0), Int32, Value, -2147483648LL);
        row("32: above max", Variant::fromDouble(2147483648.0), Int32, Overflow);
        row("32: False", Variant::fromBool(false), Int32, Value, 0);
        row("32: text with colon", Variant::fromString(QStringLiteral("1:")), Int32, Mismatch);
        row("32: empty text", Variant::fromString(QString()), Int32, Mismatch);
        row("32: 16-bit value", Variant::fromInt16(-7), Int32, Value, -7);
        row("bool: -1", Variant::fromInt16(-1), Bool, Value, 1);
        row("bool: 0", Variant::fromInt32(0), Bool, Value, 0);
        row("bool: 2", Variant::fromInt32(2), Bool, Value, 1);
        row("bool: text true", Variant::fromString(QStringLiteral("true")), Bool, Value, 1);
        row("bool: text False", Variant::fromString(QStringLiteral("False")), Bool, Value, 0);
        row("bool: text 0", Variant::fromString(QStringLiteral("0")), Bool, Value, 0);
        row("bool: text yes", Variant::fromString(QStringLiteral("yes")), Bool, Mismatch);
        row("bool: empty", Variant(), Bool, Value, 0);
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

    void toString_data()
    {
        QTest::addColumn<Variant>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << Variant() << QString();
        QTest::newRow("True") << Variant::fromBool(true) << QStringLiteral("True");
        QTest::newRow("False") << Variant::fromBool(false) << QStringLiteral("False");
        QTest::newRow("negative") << Variant::fromInt32(-12) << QStringLiteral("-12");
        QTest::newRow("double") << Variant::fromDouble(2.5) << QStringLiteral("2.5");
        QTest::newRow("whole double") << Variant::fromDouble(8.0) << QStringLiteral("8");
    }
    void toString()
    {
        QFETCH(Variant, value);
        QFETCH(QString, expected);
        QCOMPARE(value.toString(), expected);
    }

    void parseNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("expected");
        QTest::newRow("two digits") << QStringLiteral("07") << true << 7.0;
        QTest::newRow("blanks around") << QStringLiteral(" 7 ") << true << 7.0;
        QTest::newRow("sign") << QStringLiteral("-5") << true << -5.0;
        QTest::newRow("colon after") << QStringLiteral("1:") << false << 0.0;
        QTest::newRow("colon before") << QStringLiteral(":1") << false << 0.0;
        QTest::newRow("letters") << QStringLiteral("ab") << false << 0.0;
        QTest::newRow("inf") << QStringLiteral("inf") << false << 0.0;
        QTest::newRow("nan") << QStringLiteral("nan") << false << 0.0;
        QTest::newRow("blank") << QStringLiteral("  ") << false << 0.0;
    }
    void parseNumber()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, expected);
        if (ok)
            QCOMPARE(playback::parseNumber(text), expected);
        else
            QVERIFY_THROWS_EXCEPTION(app::TypeMismatch, playback::parseNumber(text));
    }
};

QTEST_APPLESS_MAIN(ConversionsTest)
#include "tst_conversions.moc"
