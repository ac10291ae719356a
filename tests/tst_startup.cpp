// Start-up and the player windows' lifecycle: the splash hand-over, the start-up
// order, the control window's initial state, keyboard access, the video
// window's placement rule and its refusal of close requests.
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
#include <QPointer>
#include <QLabel>
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
        QTRY_VERIFY_WITH_TIMEOUT(app::Forms::loaded<Form2>(), 1000);
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= 950 && elapsed < 1500, qPrintable(QString::number(elapsed)));
        QCOMPARE(app::Forms::loaded<frmSplash>(), nullptr);
    }

    void keyHandsOverAtOnce_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("handsOver");
        QTest::newRow("letter") << int(Qt::Key_A) << true;
        QTest::newRow("Enter") << int(Qt::Key_Return) << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << true;
        QTest::newRow("arrow") << int(Qt::Key_Left) << false;
    }
    void keyHandsOverAtOnce()
    {
        QFETCH(int, key);
        QFETCH(bool, handsOver);
        frmSplash &splash = app::Forms::show<frmSplash>();
        QTest::keyClick(&splash, Qt::Key(key));
        windowtest::settle();
        QCOMPARE(app::Forms::loaded<Form2>() != nullptr, handsOver);
        QCOMPARE(app::Forms::loaded<frmSplash>() == nullptr, handsOver);
    }

    void startUpOrder()
    {
        frmSplash &splash = app::Forms::show<frmSplash>();
        QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(20, 20)); // a click does nothing
        QVERIFY(app::Forms::loaded<frmSplash>());
        QTest::keyClick(&splash, Qt::Key_X);
        Form2 *control = app::Forms::loaded<Form2>();
        dvdw *video = app::Forms::loaded<dvdw>();
        QVERIFY(control && video && video->dvd);
        QVERIFY(control->isVisible() && video->isVisible());
        QCOMPARE(app::Forms::loadedCount(), 2);
        // The control window is in front: it was raised last and the video window never took the focus.
        QVERIFY(video->testAttribute(Qt::WA_ShowWithoutActivating));
        QTRY_COMPARE(QApplication::activeWindow(), control);
    }

    void initialPanel()
    {
        Form2 &f = app::Forms::show<Form2>();
        QCOMPARE(f.windowTitle(), QStringLiteral("Orvanta v2.0 - Control Window"));
        QCOMPARE(f.size(), QSize(412, 198));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(f.Label1[i]->text(), QStringLiteral("00"));
        QCOMPARE(f.Label2[0]->text(), QStringLiteral(":"));
        QCOMPARE(f.Label3->text(), QStringLiteral("00:00:00"));
        QCOMPARE(f.Chap->text(), QString());
        QCOMPARE(f.Speed->text(), QStringLiteral("x1"));
        QCOMPARE(f.Command2->toolTip(), QStringLiteral("Pause"));
        const QList<QLabel *> icons{f.Image12, f.Image13, f.Image14, f.Image15, f.Image16};
        for (QLabel *icon : icons)
            QCOMPARE(icon->isVisible(), icon == f.Image14);
        QVERIFY(f.Image10->isVisible() && !f.Image11->isVisible() && !f.Subs->isVisible());
        QCOMPARE(f.Muted, std::int16_t(0));
        QVERIFY(f.Timer1->isActive() && f.Timer1->interval() == 500);
        // Red on black, and the progress bar black.
        QCOMPARE(f.Label1[0]->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(f.Picture1->palette().color(QPalette::Window), QColor(0, 0, 0));
        const QImage bar = f.Progres->grab().toImage();
        QCOMPARE(bar.pixelColor(bar.width() / 2, bar.height() / 2), QColor(0, 0, 0));
        // The status icons and the mute pictures are real pictures of their own size.
        QCOMPARE(f.Image14->pixmap().size(), QSize(50, 50));
        QCOMPARE(f.Image10->pixmap().size(), QSize(32, 32));
        QCOMPARE(f.Image10->size(), QSize(17, 17));
    }

    void tabOrderAndFirstFocus()
    {
        Form2 &f = app::Forms::show<Form2>();
        const QStringList expected = QStringLiteral("Command7 Command12 Command11 Command8 Command6 Command5 Command4 "
                                                    "Command3 Command1 Command2 Picture1 Command10 Command9 Progres Command13")
                                         .split(QLatin1Char(' '));
        QCOMPARE(f.focusWidget(), f.Command7);
        QStringList seen;
        QWidget *w = f.Command7;
        for (int i = 0; i < expected.size(); ++i) {
            seen << w->objectName();
            do
                w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(&f) || w == &f);
        }
        QCOMPARE(seen, expected);
        QCOMPARE(w, f.Command7); // and round again
    }

    void accessKeys_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("key");
        QTest::newRow("About") << QStringLiteral("Command7") << QStringLiteral("Alt+A");
        QTest::newRow("Full Screen") << QStringLiteral("Command8") << QStringLiteral("Alt+N");
        QTest::newRow("Mute") << QStringLiteral("Command10") << QStringLiteral("Alt+M");
    }
    void accessKeys()
    {
        QFETCH(QString, button);
        QFETCH(QString, key);
        Form2 &f = app::Forms::show<Form2>();
        auto *b = f.findChild<QAbstractButton *>(button);
        QVERIFY(b);
        QCOMPARE(QKeySequence::mnemonic(b->text()), QKeySequence(key));
    }

    void enterPressesTheFocusedButton_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("button"); // the button that must be pressed, or none
        QTest::newRow("Play") << "Form2" << "Command1" << "Command1";
        QTest::newRow("Mute") << "Form2" << "Command10" << "Command10";
        QTest::newRow("Fast Backwards") << "Form2" << "Command12" << "Command12";
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
        app::Form *w = window == QLatin1String("Form2") ? static_cast<app::Form *>(&app::Forms::show<Form2>())
                       : window == QLatin1String("dvdinfo") ? static_cast<app::Form *>(&app::Forms::show<dvdinfo>())
                                                              : &app::Forms::show<subtitles>();
        QWidget *focused = w->findChild<QWidget *>(focus);
        auto *pressed = w->findChild<QAbstractButton *>(button.isEmpty() ? QStringLiteral("Command1") : button);
        QVERIFY(focused && pressed);
        QSignalSpy clicks(pressed, &QAbstractButton::clicked);
        focused->setFocus();
        QTest::keyClick(focused, Qt::Key_Return);
        QCOMPARE(clicks.count(), button.isEmpty() ? 0 : 1);
    }

    void captionsFit()
    {
        Form2 &f = app::Forms::show<Form2>();
        frmSplash &s = app::Forms::show<frmSplash>();
        for (QWidget *window : {static_cast<QWidget *>(&f), static_cast<QWidget *>(&s)}) {
            for (QLabel *l : window->findChildren<QLabel *>()) {
                const QFontMetrics m(l->font());
                QVERIFY2(l->text().isEmpty()
                             || (m.horizontalAdvance(l->text()) <= l->width() && m.height() <= l->height() + 4),
                         qPrintable(l->objectName()));
            }
            for (QAbstractButton *b : window->findChildren<QAbstractButton *>())
                QVERIFY2(QFontMetrics(b->font()).horizontalAdvance(QString(b->text()).remove(QLatin1Char('&'))) + 6
                             <= b->width(),
                         qPrintable(b->objectName()));
        }
    }

    void accessibility()
    {
        Form2 &f = app::Forms::show<Form2>();
        auto a11y = [](QWidget *w) { return QAccessible::queryAccessibleInterface(w); };
        QCOMPARE(a11y(f.Command1)->text(QAccessible::Name), QStringLiteral("Play"));  // a picture button: its tooltip
        QCOMPARE(a11y(f.Command10)->text(QAccessible::Name), QStringLiteral("Mute")); // without the access mark
        QCOMPARE(a11y(f.Command10)->text(QAccessible::Description), QStringLiteral("Mute Audio"));
        QCOMPARE(a11y(f.Image14)->text(QAccessible::Name), QStringLiteral("Stop"));
        QCOMPARE(a11y(f.Speed)->text(QAccessible::Name), QStringLiteral("x1"));
        QVERIFY(a11y(f.Image13)->state().invisible && !a11y(f.Image14)->state().invisible);
        // Buttons and the subtitle indicator can be pressed by the accessibility action.
        QVERIFY(a11y(f.Subs)->actionInterface());
        QSignalSpy clicked(f.Subs, &app::ClickableLabel::clicked);
        a11y(f.Subs)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicked.count(), 1);
        QVERIFY(a11y(f.Command3)->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    }

    void resizeRule_data()
    {
        QTest::addColumn<QSize>("client");
        QTest::newRow("initial") << QSize(564, 429);
        QTest::newRow("smaller") << QSize(200, 150);
        QTest::newRow("odd") << QSize(333, 257);
        QTest::newRow("one pixel") << QSize(1, 1);
    }
    void resizeRule()
    {
        QFETCH(QSize, client);
        app::Forms::show<Form2>();
        dvdw &v = app::Forms::get<dvdw>();
        v.resize(client);
        QCOMPARE(v.dvd->geometry(), QRect(QPoint(0, 0), client)); // 1 twip rounds to the first pixel
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

    void referenceAfterUnloadLoadsVideoWindowAgain()
    {
        app::Forms::show<Form2>();
        QPointer<FakeDvd> first = FakeDvd::current();
        app::Forms::unload<dvdw>();
        windowtest::settle();
        QVERIFY(first.isNull()); // the control went with its window
        playback::PlaybackControl *control = &dvd(); // a handler's next access loads the window again, unshown
        QCOMPARE(control, FakeDvd::current());
        QVERIFY(app::Forms::loaded<dvdw>() && !app::Forms::loaded<dvdw>()->isVisible());
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
