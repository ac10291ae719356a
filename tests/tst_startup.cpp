// Start-up and the player windows' lifecycle: the splash hand-over, the start-up
// order, keyboard access, the video window's placement rule and its refusal of
// close requests, and the end of the program when the control window closes.
#include "app/ClickableLabel.h"
#include "app/Form.h"
#include "app/PictureBox.h"
#include "startup/frmSplash.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"
#include "windows/dialogs/dvdinfo.h"
#include "windows/dialogs/subtitles.h"
#include "windows/video/dvdw.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {
class ModelessDialog : public app::Form {};
} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { windowtest::setUp(); }
    void init() { windowtest::reset(); }

    void handOverAfterAboutASecond()
    {
        QElapsedTimer clock;
        clock.start();
        frmSplash &splash = app::Forms::show<frmSplash>();
        QVERIFY(splash.isVisible());
        QTest::qWait(800);
        QVERIFY(app::Forms::loaded<frmSplash>() && !app::Forms::loaded<Form2>());
        QTRY_VERIFY_WITH_TIMEOUT(app::Forms::loaded<Form2>(), 3000);
        QVERIFY2(clock.elapsed() >= 950, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(app::Forms::loaded<frmSplash>(), nullptr);
    }

    // A key hands over at once (a click does not): the control and video windows
    // open, the control window in front, as the video window never takes the focus.
    void keyHandsOverAtOnce_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("handsOver");
        QTest::newRow("letter") << int(Qt::Key_A) << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << true;
        QTest::newRow("arrow") << int(Qt::Key_Left) << false;
    }
    void keyHandsOverAtOnce()
    {
        QFETCH(int, key);
        QFETCH(bool, handsOver);
        frmSplash &splash = app::Forms::show<frmSplash>();
        QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::keyClick(&splash, Qt::Key(key));
        windowtest::settle();
        QCOMPARE(app::Forms::loaded<frmSplash>() == nullptr, handsOver);
        QCOMPARE(app::Forms::loadedCount(), handsOver ? 2 : 1);
        if (handsOver) {
            dvdw *video = app::Forms::loaded<dvdw>();
            QVERIFY(video && video->dvd && video->isVisible() && app::Forms::loaded<Form2>()->isVisible());
            QVERIFY(video->testAttribute(Qt::WA_ShowWithoutActivating));
            QTRY_COMPARE(QApplication::activeWindow(), app::Forms::loaded<Form2>());
        }
    }

    void enterPressesTheFocusedButton_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("button"); // the button that must be pressed, or none
        QTest::newRow("Play") << "Form2" << "Command1" << "Command1";
        QTest::newRow("Mute") << "Form2" << "Command10" << "Command10";
        QTest::newRow("Close") << "dvdinfo" << "Command1" << "Command1";
        QTest::newRow("Done") << "subtitles" << "Command1" << "Command1";
        // Done is not the language dialog's default button.
        QTest::newRow("language list") << "subtitles" << "Combo1" << "";
    }
    void enterPressesTheFocusedButton()
    {
        QFETCH(QString, window);
        QFETCH(QString, focus);
        QFETCH(QString, button);
        app::Form *w = &windowtest::showWindow(window);
        QWidget *focused = w->findChild<QWidget *>(focus);
        auto *pressed = w->findChild<QAbstractButton *>(button.isEmpty() ? QStringLiteral("Command1") : button);
        QVERIFY(focused && pressed);
        QSignalSpy clicks(pressed, &QAbstractButton::clicked);
        focused->setFocus();
        QTest::keyClick(focused, Qt::Key_Return);
        QCOMPARE(clicks.count(), button.isEmpty() ? 0 : 1);
    }

    void accessibility()
    {
        Form2 &f = app::Forms::show<Form2>();
        auto a11y = [](QWidget *w) { return QAccessible::queryAccessibleInterface(w); };
        QCOMPARE(a11y(f.Command1)->text(QAccessible::Name), QStringLiteral("Play"));  // a picture button: its tooltip
        QCOMPARE(a11y(f.Command10)->text(QAccessible::Description), QStringLiteral("Mute Audio"));
        QCOMPARE(a11y(f.Image14)->text(QAccessible::Name), QStringLiteral("Stop"));
        // The subtitle indicator can be pressed by the accessibility action.
        QSignalSpy clicked(f.Subs, &app::ClickableLabel::clicked);
        a11y(f.Subs)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicked.count(), 1);
    }

    void videoWindowIgnoresCloseRequests()
    {
        app::Forms::show<Form2>();
        dvdw *v = app::Forms::loaded<dvdw>();
        QVERIFY(!v->close());
        windowtest::settle();
        QCOMPARE(app::Forms::loaded<dvdw>(), v);
        QVERIFY(v->isVisible() && !(v->windowFlags() & Qt::WindowCloseButtonHint));
    }

    void closingControlWindowEndsProgram_data()
    {
        QTest::addColumn<bool>("modelessOpen");
        QTest::newRow("alone") << false;
        QTest::newRow("modeless dialog open") << true;
    }
    void closingControlWindowEndsProgram()
    {
        QFETCH(bool, modelessOpen);
        QSignalSpy ended(&app::Forms::instance(), &app::Forms::lastFormUnloaded);
        Form2 &f = app::Forms::show<Form2>();
        if (modelessOpen)
            app::Forms::show<ModelessDialog>();
        // No status tick runs once the window is closing, not even when something
        // waits in an event loop during the unload: it would load the video window again.
        f.Timer1->start(0);
        connect(app::Forms::loaded<dvdw>(), &app::Form::unloaded, this, [] { QTest::qWait(20); });
        f.close();
        QTest::qWait(20);
        QVERIFY(!app::Forms::loaded<dvdw>() && !app::Forms::loaded<Form2>());
        QCOMPARE(ended.count(), modelessOpen ? 0 : 1);
        if (modelessOpen) {
            app::Forms::get<ModelessDialog>().close();
            QCOMPARE(ended.count(), 1);
        }
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
