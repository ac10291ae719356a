// Fast Forward and Fast Backwards: the speed steps kept in Speed's caption, the
// speed handed to the control, the status icon, and stepping on when the
// control refuses.
#include "app/Form.h"
#include "support/FakeDvd.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

using playback::Variant;

namespace {

// Real clicks: 'F' Fast Forward, 'B' Fast Backwards, 'S' Stop, 'P' Play, 'C' Pause/Continue.
void press(Form2 &form, QChar key)
{
    const QHash<QChar, QAbstractButton *> buttons = {{'F', form.Command11}, {'B', form.Command12},
        {'S', form.Command5}, {'P', form.Command1}, {'C', form.Command2}};
    QVERIFY(buttons.contains(key));
    buttons[key]->click();
}

} // namespace

class Form2TrickPlayTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { windowtest::setUp(); }
    void init() { windowtest::reset(); }
    void cleanupTestCase() { windowtest::reset(); }

    void step_data();
    void step();
    void sequence_data();
    void sequence();
};

void Form2TrickPlayTest::step_data()
{
    QTest::addColumn<bool>("forward");
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("after");
    QTest::addColumn<double>("speed"); // 0: the control is not called

    struct Row {
        const char *before, *after;
        double speed;
    };
    const Row forwardRows[] = {{"x1", "x2", 2.0}, {"x2", "x4", 4.0}, {"x4", "x8", 8.0}, {"x8", "x1", 1.0}};
    const Row backwardRows[] = {{"x1", "x8", 8.0}, {"x8", "x4", 4.0}, {"x4", "x2", 2.0}, {"x2", "x1", 1.0}};
    for (bool refused : {false, true}) {
        const char *suffix = refused ? ", refused" : "";
        for (const Row &r : forwardRows)
            QTest::addRow("forward %s%s", r.before, suffix) << true << r.before << refused << r.after << r.speed;
        for (const Row &r : backwardRows)
            QTest::addRow("backwards %s%s", r.before, suffix) << false << r.before << refused << r.after << r.speed;
    }
    // Comparisons are exact: a caption that is none of the four steps is left as it is.
    QTest::newRow("forward X1") << true << "X1" << false << "X1" << 0.0;
    QTest::newRow("backwards x1 with blank") << false << "x1 " << false << "x1 " << 0.0;
}

void Form2TrickPlayTest::step()
{
    QFETCH(bool, forward);
    QFETCH(QString, before);
    QFETCH(bool, refused);
    QFETCH(QString, after);
    QFETCH(double, speed);

    Form2 &form = windowtest::showControlWindow();
    FakeDvd *fd = FakeDvd::current();
    const QString operation = forward ? QStringLiteral("PlayForwards") : QStringLiteral("PlayBackwards");
    form.Speed->setText(before);
    if (refused)
        fd->fails(operation);

    press(form, forward ? 'F' : 'B');

    QCOMPARE(form.Speed->text(), after);
    if (speed == 0.0) {
        QVERIFY(fd->calls.isEmpty());
    } else {
        QCOMPARE(fd->callNames(), QStringList{operation});
        QCOMPARE(fd->calls.first().args, QList<Variant>{Variant::fromDouble(speed)});
    }
    QCOMPARE(windowtest::visibleStatusIcons(form), forward ? QStringLiteral("Image15") : QStringLiteral("Image16"));
    QVERIFY(windowtest::msgBoxes().isEmpty());
}

void Form2TrickPlayTest::sequence_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("captions");   // Speed after each key
    QTest::addColumn<QStringList>("calls");      // trick-play calls with their speeds
    QTest::addColumn<QString>("icons");

    QTest::newRow("forward then backwards")
        << "FB" << QStringList{"x2", "x1"} << QStringList{"PlayForwards 2", "PlayBackwards 1"} << "Image16";
    // No other command resets the speed.
    QTest::newRow("stop keeps the speed")
        << "FFSF" << QStringList{"x2", "x4", "x4", "x8"}
        << QStringList{"PlayForwards 2", "PlayForwards 4", "PlayForwards 8"} << "Image15";
    QTest::newRow("play and pause keep the speed")
        << "BPCB" << QStringList{"x8", "x8", "x8", "x4"} << QStringList{"PlayBackwards 8", "PlayBackwards 4"}
        << "Image16";
}

void Form2TrickPlayTest::sequence()
{
    QFETCH(QString, keys);
    QFETCH(QStringList, captions);
    QFETCH(QStringList, calls);
    QFETCH(QString, icons);

    Form2 &form = windowtest::showControlWindow();
    FakeDvd *fd = FakeDvd::current();
    QCOMPARE(form.Speed->text(), QStringLiteral("x1"));
    QStringList seen;
    for (const QChar key : keys) {
        press(form, key);
        seen << form.Speed->text();
    }
    QCOMPARE(seen, captions);
    QStringList trick;
    for (const FakeCall &c : fd->calls)
        if (c.operation.startsWith(QLatin1String("PlayForwards")) || c.operation.startsWith(QLatin1String("PlayBackwards")))
            trick << QStringLiteral("%1 %2").arg(c.operation).arg(c.args.value(0).toDouble());
    QCOMPARE(trick, calls);
    QCOMPARE(windowtest::visibleStatusIcons(form), icons);
}

QTEST_MAIN(Form2TrickPlayTest)
#include "tst_form2_trickplay.moc"
