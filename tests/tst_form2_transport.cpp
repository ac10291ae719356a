// The control window's transport buttons: which control operation each click
// calls, which status icon it leaves, the Pause/Continue tooltip, and what each
// does when the control fails. Also proves that every button's click reaches
// its handler.
#include "app/Failure.h"
#include "app/Form.h"
#include "support/FakeDvd.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>
#include <QTimer>

using playback::Variant;

namespace {

using Handler = void (Form2::*)();

Handler handler(const QString &name)
{
    static const QHash<QString, Handler> handlers = {
        {"Play", &Form2::Command1_Click},       {"PauseContinue", &Form2::Command2_Click},
        {"Next", &Form2::Command3_Click},       {"Previous", &Form2::Command4_Click},
        {"Stop", &Form2::Command5_Click},       {"Eject", &Form2::Command6_Click},
        {"FullScreen", &Form2::Command8_Click}, {"FastForward", &Form2::Command11_Click},
        {"FastBackwards", &Form2::Command12_Click},
    };
    return handlers.value(name);
}

// Runs a handler the way a click does: a failure it leaves unhandled ends at the event boundary.
void click(Form2 &form, const QString &name)
{
    const Handler h = handler(name);
    QVERIFY2(h, qPrintable(name));
    app::runHandler([&] { (form.*h)(); });
}

QString visibleIcons(const Form2 &form)
{
    QStringList shown;
    for (QLabel *img : {form.Image12, form.Image13, form.Image14, form.Image15, form.Image16})
        if (img->isVisible())
            shown << img->objectName();
    return shown.join(',');
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

    void startState();
    void command_data();
    void command();
    void pausePlayContinue();
    void fullScreenHintComesFirst();
    void clickReachesHandler_data();
    void clickReachesHandler();
    void timerRunsThePoll();

private:
    Form2 &load()
    {
        Form2 &form = app::Forms::show<Form2>();
        form.Timer1->stop(); // ticks would mix their reads into the recorded calls
        return form;
    }
};

void Form2TransportTest::startState()
{
    Form2 &form = load();
    QCOMPARE(form.Command2->toolTip(), QStringLiteral("Pause"));
    QCOMPARE(visibleIcons(form), QStringLiteral("Image14"));
}

void Form2TransportTest::command_data()
{
    QTest::addColumn<QStringList>("before");     // clicks that set the scene, all accepted
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("failing");        // the operation the control refuses, if any
    QTest::addColumn<QStringList>("calls");      // what the command asked of the control
    QTest::addColumn<QString>("icons");          // visible afterwards
    QTest::addColumn<QString>("toolTip");        // of Command2 afterwards
    QTest::addColumn<QStringList>("messages");   // style|title|text

    const QString noDisc = QStringLiteral("16||Error trying to play the DVD! No disc detected in drive.");
    const QString hint = QStringLiteral("64|Info|Press ALT + F4 to exit the Full Screen mode.");
    const QString none;
    using L = QStringList;

    QTest::newRow("play") << L{} << "Play" << none << L{"Play"} << "Image12" << "Pause" << L{};
    QTest::newRow("play fails from stop")
        << L{} << "Play" << "Play" << L{"Play"} << "Image14" << "Pause" << L{noDisc};
    QTest::newRow("play fails during fast forward")
        << L{"FastForward"} << "Play" << "Play" << L{"Play"} << "Image15" << "Pause" << L{noDisc};
    QTest::newRow("play fails while paused")
        << L{"PauseContinue"} << "Play" << "Play" << L{"Play"} << "Image13" << "Continue" << L{noDisc};

    QTest::newRow("pause") << L{"Play"} << "PauseContinue" << none << L{"Pause"} << "Image13" << "Continue" << L{};
    QTest::newRow("pause fails")
        << L{"Play"} << "PauseContinue" << "Pause" << L{"Pause"} << "Image13" << "Continue" << L{};
    QTest::newRow("continue")
        << L{"Play", "PauseContinue"} << "PauseContinue" << none << L{"Resume"} << "Image12" << "Pause" << L{};
    QTest::newRow("continue fails")
        << L{"Play", "PauseContinue"} << "PauseContinue" << "Resume" << L{"Resume"} << "Image12" << "Pause" << L{};
    QTest::newRow("pause from cue reverse")
        << L{"FastBackwards"} << "PauseContinue" << none << L{"Pause"} << "Image13" << "Continue" << L{};

    QTest::newRow("stop") << L{"Play"} << "Stop" << none << L{"Stop"} << "Image14" << "Pause" << L{};
    QTest::newRow("stop fails") << L{"Play"} << "Stop" << "Stop" << L{"Stop"} << "Image14" << "Pause" << L{};
    QTest::newRow("stop while paused")
        << L{"PauseContinue"} << "Stop" << none << L{"Stop"} << "Image14" << "Continue" << L{};

    QTest::newRow("next chapter")
        << L{"Play"} << "Next" << none << L{"PlayNextChapter"} << "Image12" << "Pause" << L{};
    QTest::newRow("next chapter fails")
        << L{"Play"} << "Next" << "PlayNextChapter" << L{"PlayNextChapter"} << "Image12" << "Pause" << L{};
    QTest::newRow("previous chapter")
        << L{"FastForward"} << "Previous" << none << L{"PlayPrevChapter"} << "Image15" << "Pause" << L{};
    QTest::newRow("previous chapter fails")
        << L{"Play"} << "Previous" << "PlayPrevChapter" << L{"PlayPrevChapter"} << "Image12" << "Pause" << L{};

    QTest::newRow("eject") << L{"Play"} << "Eject" << none << L{"Eject"} << "Image12" << "Pause" << L{};
    QTest::newRow("eject fails")
        << L{"Play"} << "Eject" << "Eject" << L{"Eject"} << "Image12" << "Pause"
        << L{"16|Orvanta Player|Eject: scripted failure."};

    QTest::newRow("full screen")
        << L{"Play"} << "FullScreen" << none << L{"FullScreenMode="} << "Image12" << "Pause" << L{hint};
    QTest::newRow("full screen fails")
        << L{"Play"} << "FullScreen" << "FullScreenMode=" << L{"FullScreenMode="} << "Image12" << "Pause"
        << L{hint, "16|Orvanta Player|FullScreenMode=: scripted failure."};
}

void Form2TransportTest::command()
{
    QFETCH(QStringList, before);
    QFETCH(QString, command);
    QFETCH(QString, failing);
    QFETCH(QStringList, calls);
    QFETCH(QString, icons);
    QFETCH(QString, toolTip);
    QFETCH(QStringList, messages);

    QCoreApplication::setApplicationName(QStringLiteral("Orvanta Player"));
    Form2 &form = load();
    FakeDvd *fd = FakeDvd::current();
    for (const QString &c : before)
        click(form, c);
    QVERIFY(windowtest::msgBoxes().isEmpty());
    fd->clearCalls();
    if (!failing.isEmpty())
        fd->fails(failing);

    click(form, command);

    QCOMPARE(fd->callNames(), calls);
    QCOMPARE(visibleIcons(form), icons);
    QCOMPARE(form.Command2->toolTip(), toolTip);
    QCOMPARE(boxes(), messages);
    for (const FakeCall &c : fd->calls)
        if (c.operation == QLatin1String("FullScreenMode="))
            QCOMPARE(c.args, QList<Variant>{Variant::fromBool(true)});
}

// The toggle is not brought into line by Play: after Pause and Play the next
// Pause/Continue click continues, then pauses again.
void Form2TransportTest::pausePlayContinue()
{
    Form2 &form = load();
    FakeDvd *fd = FakeDvd::current();
    const QStringList expectedTips = {"Continue", "Continue", "Pause", "Continue"};
    const QStringList expectedIcons = {"Image13", "Image12", "Image12", "Image13"};
    const QStringList sequence = {"PauseContinue", "Play", "PauseContinue", "PauseContinue"};
    for (int i = 0; i < sequence.size(); ++i) {
        click(form, sequence[i]);
        QCOMPARE(form.Command2->toolTip(), expectedTips[i]);
        QCOMPARE(visibleIcons(form), expectedIcons[i]);
    }
    QCOMPARE(fd->callNames(), (QStringList{"Pause", "Play", "Resume", "Pause"}));
    // The tooltip doubles as the accessible description; they move together.
    QCOMPARE(form.Command2->accessibleDescription(), QStringLiteral("Continue"));
}

void Form2TransportTest::fullScreenHintComesFirst()
{
    Form2 &form = load();
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

void Form2TransportTest::clickReachesHandler_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("operation");
    QTest::newRow("Command1") << "Command1" << "Play";
    QTest::newRow("Command2") << "Command2" << "Pause";
    QTest::newRow("Command3") << "Command3" << "PlayNextChapter";
    QTest::newRow("Command4") << "Command4" << "PlayPrevChapter";
    QTest::newRow("Command5") << "Command5" << "Stop";
    QTest::newRow("Command6") << "Command6" << "Eject";
    QTest::newRow("Command8") << "Command8" << "FullScreenMode=";
    QTest::newRow("Command9") << "Command9" << "SubpictureOn=";
    QTest::newRow("Command10") << "Command10" << "Mute=";
    QTest::newRow("Command11") << "Command11" << "PlayForwards";
    QTest::newRow("Command12") << "Command12" << "PlayBackwards";
}

void Form2TransportTest::clickReachesHandler()
{
    QFETCH(QString, button);
    QFETCH(QString, operation);
    Form2 &form = load();
    FakeDvd *fd = FakeDvd::current();
    auto *b = form.findChild<QAbstractButton *>(button);
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(fd->count(operation), 1);
}

void Form2TransportTest::timerRunsThePoll()
{
    Form2 &form = app::Forms::show<Form2>();
    QCOMPARE(form.Timer1->interval(), 500);
    FakeDvd::current()->returns(QStringLiteral("TotalTitleTime"), Variant::fromString("00:05:00:00"));
    QTRY_COMPARE_WITH_TIMEOUT(form.Label3->text(), QStringLiteral("00:05:00"), 3000);
}

QTEST_MAIN(Form2TransportTest)
#include "tst_form2_transport.moc"
