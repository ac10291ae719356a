// The control window's buttons: the operation each click asks of the control,
// the status icon, Pause/Continue tooltip and speed caption it leaves, the
// mute and subtitle toggles, what the user sees when the control refuses, and
// discs dropped on the windows.
#include "app/ClickableLabel.h"
#include "app/Form.h"
#include "support/FakeDvd.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QLabel>
#include <QTest>

using playback::Variant;

namespace {

// Real clicks: P Play, C Pause/Continue, N Next, R Previous, S Stop, E Eject,
// W Full Screen, F Fast Forward, B Fast Backwards, M Mute, T Subtitles.
void press(Form2 &form, const QString &keys)
{
    const QHash<QChar, QAbstractButton *> buttons = {
        {'P', form.Command1}, {'C', form.Command2}, {'N', form.Command3},  {'R', form.Command4},
        {'S', form.Command5}, {'E', form.Command6}, {'W', form.Command8},  {'F', form.Command11},
        {'B', form.Command12}, {'M', form.Command10}, {'T', form.Command9}};
    for (QChar key : keys)
        buttons.value(key)->click();
}

QStringList boxes()
{
    QStringList out;
    for (const ShownMsgBox &b : windowtest::msgBoxes())
        out << QStringLiteral("%1|%2|%3").arg(int(b.style)).arg(b.title, b.text);
    return out;
}

} // namespace

class Form2Test : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        windowtest::setUp();
        QCoreApplication::setApplicationName(QStringLiteral("Orvanta Player"));
    }
    void init() { windowtest::reset(); }
    void cleanupTestCase() { windowtest::reset(); }

    void buttons_data()
    {
        QTest::addColumn<QString>("before");   // clicks that set the scene
        QTest::addColumn<QString>("keys");     // the clicks under test
        QTest::addColumn<QString>("refuses");  // an operation the control refuses, if any
        QTest::addColumn<QStringList>("calls"); // made by the clicks under test
        QTest::addColumn<QString>("icons");    // visible afterwards
        QTest::addColumn<QString>("state");    // Command2's tooltip and Speed's caption afterwards
        QTest::addColumn<QStringList>("boxes"); // style|title|text

        // The control's reason for the failure goes under the message.
        const QString noDisc = QStringLiteral("16||Error trying to play the DVD! No disc detected in drive.\nScripted failure.");
        const QString hint = QStringLiteral("64|Info|Press ALT + F4 to exit the Full Screen mode.");
        using L = QStringList;
        QTest::newRow("play") << "" << "P" << "" << L{"Play"} << "Image12" << "Pause x1" << L{};
        QTest::newRow("play fails: the icon stays")
            << "F" << "P" << "Play" << L{"Play"} << "Image15" << "Pause x2" << L{noDisc};
        QTest::newRow("pause, continue") << "P" << "CC" << "" << L{"Pause", "Resume"} << "Image12" << "Pause x1"
                                         << L{};
        QTest::newRow("pause refused: the toggle turns all the same")
            << "P" << "C" << "Pause" << L{"Pause"} << "Image13" << "Continue x1" << L{};
        // Play does not bring the toggle into line: the next click continues.
        QTest::newRow("pause, play, continue")
            << "" << "CPC" << "" << L{"Pause", "Play", "Resume"} << "Image12" << "Pause x1" << L{};
        QTest::newRow("stop while paused") << "C" << "S" << "" << L{"Stop"} << "Image14" << "Continue x1" << L{};
        QTest::newRow("chapters") << "B" << "NR" << "" << L{"PlayNextChapter", "PlayPrevChapter"} << "Image16"
                                  << "Pause x8" << L{};
        QTest::newRow("eject fails: shown") << "P" << "E" << "Eject" << L{"Eject"} << "Image12" << "Pause x1"
                                            << L{"16|Orvanta Player|Eject: scripted failure."};
        QTest::newRow("full screen after the hint")
            << "" << "W" << "" << L{"FullScreenMode= True"} << "Image14" << "Pause x1" << L{hint};
        QTest::newRow("fast forward round") << "" << "FFFF" << ""
                                            << L{"PlayForwards 2", "PlayForwards 4", "PlayForwards 8", "PlayForwards 1"}
                                            << "Image15" << "Pause x1" << L{};
        QTest::newRow("fast backwards round")
            << "" << "BBBB" << "" << L{"PlayBackwards 8", "PlayBackwards 4", "PlayBackwards 2", "PlayBackwards 1"}
            << "Image16" << "Pause x1" << L{};
        QTest::newRow("the speed survives stop and play")
            << "FFSP" << "F" << "" << L{"PlayForwards 8"} << "Image15" << "Pause x8" << L{};
        QTest::newRow("a refused speed still steps")
            << "" << "F" << "PlayForwards" << L{"PlayForwards 2"} << "Image15" << "Pause x2" << L{};
    }
    void buttons()
    {
        QFETCH(QString, before);
        QFETCH(QString, keys);
        QFETCH(QString, refuses);
        QFETCH(QStringList, calls);
        QFETCH(QString, icons);
        QFETCH(QString, state);
        QFETCH(QStringList, boxes);
        Form2 &form = windowtest::showControlWindow();
        FakeDvd *fd = FakeDvd::current();
        press(form, before);
        fd->calls.clear();
        if (!refuses.isEmpty())
            fd->fails(refuses);
        press(form, keys);
        QCOMPARE(fd->calls, calls);
        QCOMPARE(windowtest::visibleStatusIcons(form), icons);
        QCOMPARE(form.Command2->toolTip() + ' ' + form.Speed->text(), state);
        QCOMPARE(::boxes(), boxes);
    }

    void fullScreenHintComesFirst()
    {
        Form2 &form = windowtest::showControlWindow();
        FakeDvd *fd = FakeDvd::current();
        int writesBeforeClosing = -1;
        app::setMsgBoxPresenter([&](const QString &, app::MsgBoxStyle, const QString &) {
            writesBeforeClosing = fd->calls.count(QStringLiteral("FullScreenMode= True"));
        });
        form.Command8_Click();
        windowtest::setUp(); // the recorder again
        QCOMPARE(writesBeforeClosing, 0);
        QCOMPARE(fd->calls.count(QStringLiteral("FullScreenMode= True")), 1);
    }

    void mute_data()
    {
        QTest::addColumn<int>("presses");
        QTest::addColumn<int>("refusedPress"); // 1-based; 0: every write accepted
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<bool>("muted");
        QTest::newRow("one press") << 1 << 0 << QStringList{"Mute= True"} << true;
        // A refused press changes nothing: the next press asks for the same again.
        QTest::newRow("first refused, then again") << 2 << 1 << QStringList{"Mute= True", "Mute= True"} << true;
        QTest::newRow("unmute refused") << 2 << 2 << QStringList{"Mute= True", "Mute= False"} << true;
    }
    void mute()
    {
        QFETCH(int, presses);
        QFETCH(int, refusedPress);
        QFETCH(QStringList, writes);
        QFETCH(bool, muted);
        Form2 &form = windowtest::showControlWindow();
        FakeDvd *fd = FakeDvd::current();
        for (int i = 1; i <= presses; ++i) {
            if (i == refusedPress)
                fd->failsOnce(QStringLiteral("Mute="));
            press(form, QStringLiteral("M"));
        }
        QCOMPARE(fd->calls, writes);
        QCOMPARE(int(form.Muted), muted ? -1 : 0);
        QCOMPARE(form.Image11->isVisible(), muted);
        QCOMPARE(windowtest::msgBoxes().size(), refusedPress ? 1 : 0);
    }

    void subtitles_data()
    {
        QTest::addColumn<QString>("reads"); // SubpictureOn, as FakeDvd::script takes them
        QTest::addColumn<bool>("writeRefused");
        QTest::addColumn<bool>("subsBefore");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("subsAfter");
        using L = QStringList;
        const QString r = QStringLiteral("SubpictureOn");
        QTest::newRow("on: switched off") << "True" << false << false << L{r, "SubpictureOn= False"} << false;
        QTest::newRow("off twice: switched on") << "False|False" << false << false
                                                << L{r, r, "SubpictureOn= True"} << true;
        QTest::newRow("off, then on: nothing more") << "False|True" << false << true << L{r, r} << true;
        QTest::newRow("read refused") << "fail" << false << true << L{r} << true;
        QTest::newRow("switching on refused") << "False|False" << true << false
                                              << L{r, r, "SubpictureOn= True"} << false;
    }
    void subtitles()
    {
        QFETCH(QString, reads);
        QFETCH(bool, writeRefused);
        QFETCH(bool, subsBefore);
        QFETCH(QStringList, calls);
        QFETCH(bool, subsAfter);
        Form2 &form = windowtest::showControlWindow();
        FakeDvd *fd = FakeDvd::current();
        form.Subs->setVisible(subsBefore);
        fd->script(QStringLiteral("SubpictureOn"), reads);
        if (writeRefused)
            fd->fails(QStringLiteral("SubpictureOn="));
        press(form, QStringLiteral("T"));
        QCOMPARE(fd->calls, calls);
        QCOMPARE(form.Subs->isVisible(), subsAfter);
    }

    // A disc dragged from the file manager onto either window stops what plays and
    // plays; anything else dropped is not taken.
    void discDropped_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("dropped"); // in a folder made for the test
        QTest::addColumn<bool>("taken");
        for (const char *window : {"Form2", "dvdw"}) {
            const auto row = [&](const char *what, const char *path, bool taken) {
                QTest::addRow("%s, %s", what, window) << window << path << taken;
            };
            row("folder holding VIDEO_TS", "film", true);
            row("VIDEO_TS itself", "film/VIDEO_TS", true);
            row("image", "film.iso", true);
            row("text file", "notes.txt", false);
            row("folder without VIDEO_TS", "photos", false);
        }
    }
    void discDropped()
    {
        QFETCH(QString, window);
        QFETCH(QString, dropped);
        QFETCH(bool, taken);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("film/VIDEO_TS")) && QDir(dir.path()).mkpath(QStringLiteral("photos")));
        for (const char *file : {"film.iso", "notes.txt"}) {
            QFile f(dir.filePath(QLatin1String(file)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        Form2 &form = windowtest::showControlWindow();
        press(form, QStringLiteral("P"));
        FakeDvd::current()->calls.clear();
        QWidget &target = windowtest::showWindow(window);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(dir.filePath(dropped))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &enter);
        QCOMPARE(enter.isAccepted(), taken);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &drop);
        const QStringList played = {QStringLiteral("setDisc ") + dir.filePath(dropped), QStringLiteral("Play")};
        QCOMPARE(FakeDvd::current()->calls, taken ? played : QStringList());
        QCOMPARE(windowtest::visibleStatusIcons(form), QStringLiteral("Image12"));
        QVERIFY(windowtest::msgBoxes().isEmpty());
    }

    void timerRunsThePoll()
    {
        Form2 &form = app::Forms::show<Form2>();
        FakeDvd::current()->returns(QStringLiteral("TotalTitleTime"), Variant::fromString("00:05:00:00"));
        QTRY_COMPARE_WITH_TIMEOUT(form.Label3->text(), QStringLiteral("00:05:00"), 3000);
    }
};

QTEST_MAIN(Form2Test)
#include "tst_form2.moc"
