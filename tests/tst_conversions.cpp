// The conversions callers apply to the playback control's results, and the
// field reading of the status display.
#include "app/Errors.h"
#include "playback/Variant.h"

#include <QTest>

using playback::Variant;

Q_DECLARE_METATYPE(Variant)

class ConversionsTest : public QObject {
    Q_OBJECT
private slots:
    void toInt16_data();
    void toInt16();
    void toInt32_data();
    void toInt32();
    void toBool_data();
    void toBool();
    void toString_data();
    void toString();
    void parseNumber_data();
    void parseNumber();
};

enum Outcome { Value, Overflow, Mismatch };

void ConversionsTest::toInt16_data()
{
    QTest::addColumn<Variant>("value");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("expected");
    QTest::newRow("zero") << Variant::fromInt32(0) << int(Value) << 0;
    QTest::newRow("upper bound") << Variant::fromInt32(32767) << int(Value) << 32767;
    QTest::newRow("lower bound") << Variant::fromInt32(-32768) << int(Value) << -32768;
    QTest::newRow("one above") << Variant::fromInt32(32768) << int(Overflow) << 0;
    QTest::newRow("one below") << Variant::fromInt32(-32769) << int(Overflow) << 0;
    QTest::newRow("40000") << Variant::fromInt32(40000) << int(Overflow) << 0;
    QTest::newRow("True") << Variant::fromBool(true) << int(Value) << -1;
    QTest::newRow("numeric text") << Variant::fromString(QStringLiteral(" 12 ")) << int(Value) << 12;
    QTest::newRow("text") << Variant::fromString(QStringLiteral("abc")) << int(Mismatch) << 0;
    QTest::newRow("half to even down") << Variant::fromDouble(2.5) << int(Value) << 2;
    QTest::newRow("half to even up") << Variant::fromDouble(3.5) << int(Value) << 4;
    QTest::newRow("rounds into overflow") << Variant::fromDouble(32767.5) << int(Overflow) << 0;
    QTest::newRow("empty") << Variant() << int(Value) << 0;
}

void ConversionsTest::toInt16()
{
    QFETCH(Variant, value);
    QFETCH(int, outcome);
    QFETCH(int, expected);
    switch (outcome) {
    case Value: QCOMPARE(int(value.toInt16()), expected); break;
    case Overflow: QVERIFY_THROWS_EXCEPTION(app::Overflow, value.toInt16()); break;
    case Mismatch: QVERIFY_THROWS_EXCEPTION(app::TypeMismatch, value.toInt16()); break;
    }
}

void ConversionsTest::toInt32_data()
{
    QTest::addColumn<Variant>("value");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("max") << Variant::fromDouble(2147483647.0) << int(Value) << qint64(2147483647);
    QTest::newRow("min") << Variant::fromDouble(-2147483648.0) << int(Value) << qint64(-2147483648LL);
    QTest::newRow("above max") << Variant::fromDouble(2147483648.0) << int(Overflow) << qint64(0);
    QTest::newRow("False") << Variant::fromBool(false) << int(Value) << qint64(0);
    QTest::newRow("text with colon") << Variant::fromString(QStringLiteral("1:")) << int(Mismatch) << qint64(0);
    QTest::newRow("empty text") << Variant::fromString(QString()) << int(Mismatch) << qint64(0);
    QTest::newRow("16-bit value") << Variant::fromInt16(-7) << int(Value) << qint64(-7);
}

void ConversionsTest::toInt32()
{
    QFETCH(Variant, value);
    QFETCH(int, outcome);
    QFETCH(qint64, expected);
    switch (outcome) {
    case Value: QCOMPARE(qint64(value.toInt32()), expected); break;
    case Overflow: QVERIFY_THROWS_EXCEPTION(app::Overflow, value.toInt32()); break;
    case Mismatch: QVERIFY_THROWS_EXCEPTION(app::TypeMismatch, value.toInt32()); break;
    }
}

void ConversionsTest::toBool_data()
{
    QTest::addColumn<Variant>("value");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("expected");
    QTest::newRow("True") << Variant::fromBool(true) << int(Value) << true;
    QTest::newRow("-1") << Variant::fromInt16(-1) << int(Value) << true;
    QTest::newRow("0") << Variant::fromInt32(0) << int(Value) << false;
    QTest::newRow("2") << Variant::fromInt32(2) << int(Value) << true;
    QTest::newRow("text true") << Variant::fromString(QStringLiteral("true")) << int(Value) << true;
    QTest::newRow("text False") << Variant::fromString(QStringLiteral("False")) << int(Value) << false;
    QTest::newRow("text 0") << Variant::fromString(QStringLiteral("0")) << int(Value) << false;
    QTest::newRow("text yes") << Variant::fromString(QStringLiteral("yes")) << int(Mismatch) << false;
    QTest::newRow("empty") << Variant() << int(Value) << false;
}

void ConversionsTest::toBool()
{
    QFETCH(Variant, value);
    QFETCH(int, outcome);
    QFETCH(bool, expected);
    if (outcome == Mismatch)
        QVERIFY_THROWS_EXCEPTION(app::TypeMismatch, value.toBool());
    else
        QCOMPARE(value.toBool(), expected);
}

void ConversionsTest::toString_data()
{
    QTest::addColumn<Variant>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << Variant() << QString();
    QTest::newRow("True") << Variant::fromBool(true) << QStringLiteral("True");
    QTest::newRow("False") << Variant::fromBool(false) << QStringLiteral("False");
    QTest::newRow("negative") << Variant::fromInt32(-12) << QStringLiteral("-12");
    QTest::newRow("double") << Variant::fromDouble(2.5) << QStringLiteral("2.5");
    QTest::newRow("whole double") << Variant::fromDouble(8.0) << QStringLiteral("8");
    QTest::newRow("text") << Variant::fromString(QStringLiteral("01:02:03:04")) << QStringLiteral("01:02:03:04");
}

void ConversionsTest::toString()
{
    QFETCH(Variant, value);
    QFETCH(QString, expected);
    QCOMPARE(value.toString(), expected);
}

void ConversionsTest::parseNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("expected");
    QTest::newRow("two digits") << QStringLiteral("07") << true << 7.0;
    QTest::newRow("blank before") << QStringLiteral(" 7") << true << 7.0;
    QTest::newRow("blank after") << QStringLiteral("7 ") << true << 7.0;
    QTest::newRow("sign") << QStringLiteral("-5") << true << -5.0;
    QTest::newRow("colon after") << QStringLiteral("1:") << false << 0.0;
    QTest::newRow("colon before") << QStringLiteral(":1") << false << 0.0;
    QTest::newRow("letters") << QStringLiteral("ab") << false << 0.0;
    QTest::newRow("inf") << QStringLiteral("inf") << false << 0.0;
    QTest::newRow("nan") << QStringLiteral("nan") << false << 0.0;
    QTest::newRow("blank") << QStringLiteral("  ") << false << 0.0;
}

void ConversionsTest::parseNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, expected);
    if (ok)
        QCOMPARE(playback::parseNumber(text), expected);
    else
        QVERIFY_THROWS_EXCEPTION(app::TypeMismatch, playback::parseNumber(text));
}

QTEST_APPLESS_MAIN(ConversionsTest)
#include "tst_conversions.moc"
