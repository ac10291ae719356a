// The mute and subtitle toggles: what they write to the control, the state
// they keep (Muted, Image11, Subs), and that nothing changes when the control
// refuses a write.
#include "app/ClickableLabel.h"
#include "app/Form.h"
#include "support/FakeDvd.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

using playback::Variant;

class Form2TogglesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { windowtest::setUp(); }
    void init() { windowtest::reset(); }
    void cleanupTestCase() { windowtest::reset(); }

    void mute_data();
    void mute();
    void subtitles_data();
    void subtitles();
};

void Form2TogglesTest::mute_data()
{
    QTest::addColumn<int>("presses");
    QTest::addColumn<int>("refusedPress"); // 1-based; 0: every write accepted
    QTest::addColumn<QStringList>("writes"); // the Mute values the control was asked for
    QTest::addColumn<int>("muted");
    QTest::addColumn<bool>("muteIconShown");

    QTest::newRow("one press") << 1 << 0 << QStringList{"True"} << -1 << true;
    QTest::newRow("two presses") << 2 << 0 << QStringList{"True", "False"} << 0 << false;
    QTest::newRow("first refused") << 1 << 1 << QStringList{"True"} << 0 << false;
    QTest::newRow("unmute refused") << 2 << 2 << QStringList{"True", "False"} << -1 << true;
    // A refused press changes nothing, so the next press asks for the same value again.
    QTest::newRow("retry after refusal") << 2 << 1 << QStringList{"True", "True"} << -1 << true;
}

void Form2TogglesTest::mute()
{
    QFETCH(int, presses);
    QFETCH(int, refusedPress);
    QFETCH(QStringList, writes);
    QFETCH(int, muted);
    QFETCH(bool, muteIconShown);

    Form2 &form = windowtest::showControlWindow();
    FakeDvd *fd = FakeDvd::current();
    QCOMPARE(form.Muted, std::int16_t(0));
    for (int i = 1; i <= presses; ++i) {
        if (i == refusedPress)
            fd->failsOnce(QStringLiteral("Mute="));
        form.Command10->click(); // the real button, through its click handler
    }
    QStringList seen;
    for (const FakeCall &c : fd->calls) {
        QCOMPARE(c.operation, QStringLiteral("Mute="));
        QVERIFY(c.args.value(0).isBool());
        seen << c.args.value(0).toString();
    }
    QCOMPARE(seen, writes);
    QCOMPARE(int(form.Muted), muted);
    QCOMPARE(form.Image11->isVisible(), muteIconShown);
    QVERIFY(form.Image10->isVisible());
    QCOMPARE(windowtest::msgBoxes().size(), refusedPress ? 1 : 0);
    if (refusedPress)
        QVERIFY(windowtest::msgBoxes().first().text.contains(QLatin1String("Mute")));
}

void Form2TogglesTest::subtitles_data()
{
    // Successive SubpictureOn answers: "fail" refuses the read, "junk" answers what is no Boolean.
    QTest::addColumn<QStringList>("reads");
    QTest::addColumn<bool>("writeRefused");
    QTest::addColumn<bool>("subsBefore");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("subsAfter");
    QTest::addColumn<bool>("message");

    const QString r = QStringLiteral("SubpictureOn"), w = QStringLiteral("SubpictureOn=");
    using L = QStringList;
    QTest::newRow("on: switched off") << L{"True"} << false << true << L{r, w} << false << false;
    QTest::newRow("on while the label is hidden") << L{"True"} << false << false << L{r, w} << false << false;
    QTest::newRow("off twice: switched on") << L{"False", "False"} << false << false << L{r, r, w} << true << false;
    QTest::newRow("off, then on: nothing more") << L{"False", "True"} << false << false << L{r, r} << false << false;
    QTest::newRow("off, then on, label shown") << L{"False", "True"} << false << true << L{r, r} << true << false;
    QTest::newRow("first read refused") << L{"fail"} << false << true << L{r} << true << true;
    QTest::newRow("second read unusable") << L{"False", "junk"} << false << false << L{r, r} << false << true;
    QTest::newRow("switching off refused") << L{"True"} << true << true << L{r, w} << true << true;
    QTest::newRow("switching on refused") << L{"False", "False"} << true << false << L{r, r, w} << false << true;
}

void Form2TogglesTest::subtitles()
{
    QFETCH(QStringList, reads);
    QFETCH(bool, writeRefused);
    QFETCH(bool, subsBefore);
    QFETCH(QStringList, calls);
    QFETCH(bool, subsAfter);
    QFETCH(bool, message);

    Form2 &form = windowtest::showControlWindow();
    FakeDvd *fd = FakeDvd::current();
    form.Subs->setVisible(subsBefore);
    for (const QString &answer : reads) {
        if (answer == QLatin1String("fail"))
            fd->failsOnce(QStringLiteral("SubpictureOn"));
        else if (answer == QLatin1String("junk"))
            fd->returnsOnce(QStringLiteral("SubpictureOn"), Variant::fromString(QStringLiteral("perhaps")));
        else
            fd->returnsOnce(QStringLiteral("SubpictureOn"), Variant::fromBool(answer == QLatin1String("True")));
    }
    if (writeRefused)
        fd->fails(QStringLiteral("SubpictureOn="));

    form.Command9->click();

    QCOMPARE(fd->callNames(), calls);
    for (const FakeCall &c : fd->calls)
        if (c.operation == QLatin1String("SubpictureOn="))
            QCOMPARE(c.args, QList<Variant>{Variant::fromBool(reads.first() != QLatin1String("True"))});
    QCOMPARE(form.Subs->isVisible(), subsAfter);
    QCOMPARE(windowtest::msgBoxes().size(), message ? 1 : 0);
}

QTEST_MAIN(Form2TogglesTest)
#include "tst_form2_toggles.moc"
