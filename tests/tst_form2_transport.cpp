// The control window's transport buttons: the control operation each click
// calls, the status icon and Pause/Continue tooltip it leaves, and failures.
#include "app/Failure.h"
#include "app/Form.h"
#include "support/FakeDvd.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

using playback::Variant;

namespace {

// Clicks the real button, so every row also proves the click reaches its handler.
void click(Form2 &form, const QString &name)
{
    static const QHash<QString, QString> buttons = {
        {"Play", "Command1"}, {"PauseContinue", "Command2"}, {"Next", "Command3"},
        {"Previous", "Command4"}, {"Stop", "Command5"}, {"Eject", "Command6"},
        {"FullScreen", "Command8"}, {"FastForward", "Command11"}, {"FastBackwards", "Command12"}};
    auto *b = form.findChild<QAbstractButton *>(buttons.value(name));
    QVERIFY2(b, qPrintable(name));
    b->click();
}

QStringList boxes()
{
    QStringList out;
    for (const ShownMsgBox &b : windowtest::msgBoxes())
        out << QStringLiteral("%1|%2|%3").arg(int(b.style)).arg(b.title, b.text);
    return out;
}

} // namespace

class Form2TransportTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { windowtest::setUp(); }
    void init() { windowtest::reset(); }
    void cleanupTestCase() { windowtest::reset(); }

    void command_data();
    void command();
    void pausePlayContinue();
    void fullScreenHintComesFirst();
    void timerRunsThePoll();
};

void Form2TransportTest::command_data()
{
    QTest::addColumn<QStringList>("before"); // clicks that set the scene, all accepted
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("call");       // the one operation the command asks of the control
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("icons");      // visible afterwards
    QTest::addColumn<QString>("toolTip");    // of Command2 afterwards
    QTest::addColumn<QStringList>("messages"); // style|title|text

    const QString noDisc = QStringLiteral("16||Error trying to play the DVD! No disc detected in drive.");
    const QString hint = QStringLiteral("64|Info|Press ALT + F4 to exit the Full Screen mode.");
    using L = QStringList;
    const L play{"Play"}, paused{"Play", "PauseContinue"};

    QTest::newRow("play") << L{} << "Play" << "Play" << false << "Image12" << "Pause" << L{};
    QTest::newRow("play fails from stop") << L{} << "Play" << "Play" << true << "Image14" << "Pause" << L{noDisc};
    QTest::newRow("play fails during fast forward")
        << L{"FastForward"} << "Play" << "Play" << true << "Image15" << "Pause" << L{noDisc};
    QTest::newRow("play fails while paused")
        << L{"PauseContinue"} << "Play" << "Play" << true << "Image13" << "Continue" << L{noDisc};
    QTest::newRow("pause") << play << "PauseContinue" << "Pause" << false << "Image13" << "Continue" << L{};
    QTest::newRow("pause fails") << play << "PauseContinue" << "Pause" << true << "Image13" << "Continue" << L{};
    QTest::newRow("continue") << paused << "PauseContinue" << "Resume" << false << "Image12" << "Pause" << L{};
    QTest::newRow("continue fails") << paused << "PauseContinue" << "Resume" << true << "Image12" << "Pause" << L{};
    QTest::newRow("pause from cue reverse")
        << L{"FastBackwards"} << "PauseContinue" << "Pause" << false << "Image13" << "Continue" << L{};
    QTest::newRow("stop") << play << "Stop" << "Stop" << false << "Image14" << "Pause" << L{};
    QTest::newRow("stop fails") << play << "Stop" << "Stop" << true << "Image14" << "Pause" << L{};
    QTest::newRow("stop while paused")
        << L{"PauseContinue"} << "Stop" << "Stop" << false << "Image14" << "Continue" << L{};
    QTest::newRow("next chapter") << play << "Next" << "PlayNextChapter" << false << "Image12" << "Pause" << L{};
    QTest::newRow("next chapter fails") << play << "Next" << "PlayNextChapter" << true << "Image12" << "Pause" << L{};
    QTest::newRow("previous chapter")
        << L{"FastForward"} << "Previous" << "PlayPrevChapter" << false << "Image15" << "Pause" << L{};
    QTest::newRow("previous chapter fails")
        << play << "Previous" << "PlayPrevChapter" << true << "Image12" << "Pause" << L{};
    QTest::newRow("eject") << play << "Eject" << "Eject" << false << "Image12" << "Pause" << L{};
    QTest::newRow("eject fails") << play << "Eject" << "Eject" << true << "Image12" << "Pause"
                                 << L{"16|Orvanta Player|Eject: scripted failure."};
    QTest::newRow("full screen") << play << "FullScreen" << "FullScreenMode=" << false << "Image12" << "Pause"
                                 << L{hint};
    QTest::newRow("full screen fails") << play << "FullScreen" << "FullScreenMode=" << true << "Image12" << "Pause"
                                       << L{hint, "16|Orvanta Player|FullScreenMode=: scripted failure."};
}

void Form2TransportTest::command()
{
    QFETCH(QStringList, before);
    QFETCH(QString, command);
    QFETCH(QString, call);
    QFETCH(bool, refused);
    QFETCH(QString, icons);
    QFETCH(QString, toolTip);
    QFETCH(QStringList, messages);

    QCoreApplication::setApplicationName(QStringLiteral("Orvanta Player"));
    Form2 &form = windowtest::showControlWindow();
    FakeDvd *fd = FakeDvd::current();
    for (const QString &c : before)
        click(form, c);
    QVERIFY(windowtest::msgBoxes().isEmpty());
    fd->clearCalls();
    if (refused)
        fd->fails(call);

    click(form, command);

    QCOMPARE(fd->callNames(), QStringList{call});
    QCOMPARE(windowtest::visibleStatusIcons(form), icons);
    QCOMPARE(form.Command2->toolTip(), toolTip);
    QCOMPARE(boxes(), messages);
    if (command == QLatin1String("FullScreen"))
        QCOMPARE(fd->calls.first().args, QList<Variant>{Variant::fromBool(true)});
}

// Play does not bring the toggle into line: after Pause and Play the next
// Pause/Continue click continues, then pauses again.
void Form2TransportTest::pausePlayContinue()
{
    Form2 &form = windowtest::showControlWindow();
    FakeDvd *fd = FakeDvd::current();
    QStringList seen{form.Command2->toolTip() + ' ' + windowtest::visibleStatusIcons(form)};
    for (const char *name : {"PauseContinue", "Play", "PauseContinue", "PauseContinue"}) {
        click(form, name);
        seen << form.Command2->toolTip() + ' ' + windowtest::visibleStatusIcons(form);
    }
    QCOMPARE(seen, (QStringList{"Pause Image14", "Continue Image13", "Continue Image12", "Pause Image12",
                                "Continue Image13"}));
    QCOMPARE(fd->callNames(), (QStringList{"Pause", "Play", "Resume", "Pause"}));
    // The tooltip doubles as the accessible description; they move together.
    QCOMPARE(form.Command2->accessibleDescription(), QStringLiteral("Continue"));
}

void Form2TransportTest::fullScreenHintComesFirst()
{
    Form2 &form = windowtest::showControlWindow();
    FakeDvd *fd = FakeDvd::current();
    int writesBeforeClosing = -1;
    app::setMsgBoxPresenter([&](const QString &, app::MsgBoxStyle, const QString &) {
        writesBeforeClosing = fd->count(QStringLiteral("FullScreenMode="));
    });
    form.Command8_Click();
    windowtest::setUp(); // the recorder again
    QCOMPARE(writesBeforeClosing, 0);
    QCOMPARE(fd->count(QStringLiteral("FullScreenMode=")), 1);
}

void Form2TransportTest::timerRunsThePoll()
{
    Form2 &form = app::Forms::show<Form2>();
    FakeDvd::current()->returns(QStringLiteral("TotalTitleTime"), Variant::fromString("00:05:00:00"));
    QTRY_COMPARE_WITH_TIMEOUT(form.Label3->text(), QStringLiteral("00:05:00"), 3000);
}

QTEST_MAIN(Form2TransportTest)
#include "tst_form2_transport.moc"
