// Start-up and the player windows' lifecycle: the splash hand-over, the start-up
// order, the control window's initial state, keyboard access, the video
// window's placement rule and its refusal of close requests.
#include "app/ClickableLabel.h"
#include "app/Form.h"
#include "app/PictureBox.h"
#include "startup/frmSplash.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"
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

template<typename T>
T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QLatin1String(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { windowtest::setUp(); }
    void init() { windowtest::reset(); }

    void handOverAfterAboutASecond();
    void keyHandsOverAtOnce_data();
    void keyHandsOverAtOnce();
    void startUpOrder();
    void initialPanel();
    void tabOrderAndFirstFocus();
    void accessKeys_data();
    void accessKeys();
    void captionsFit();
    void accessibility();
    void resizeRule_data();
    void resizeRule();
    void videoWindowIgnoresCloseRequests();
    void closingControlWindowEndsProgram();
    void modelessDialogKeepsProgramAlive();
    void referenceAfterUnloadLoadsVideoWindowAgain();
};

void StartupTest::handOverAfterAboutASecond()
{
    QElapsedTimer clock;
    clock.start();
    frmSplash &splash = app::Forms::show<frmSplash>();
    QVERIFY(splash.isVisible());
    QTest::qWait(800);
    QVERIFY(app::Forms::loaded<frmSplash>());
    QVERIFY(!app::Forms::loaded<Form2>());
    QTRY_VERIFY_WITH_TIMEOUT(app::Forms::loaded<Form2>(), 1000);
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 950 && elapsed < 1500, qPrintable(QString::number(elapsed)));
    QCOMPARE(app::Forms::loaded<frmSplash>(), nullptr);
}

void StartupTest::keyHandsOverAtOnce_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("handsOver");
    QTest::newRow("letter") << int(Qt::Key_A) << true;
    QTest::newRow("space") << int(Qt::Key_Space) << true;
    QTest::newRow("Enter") << int(Qt::Key_Return) << true;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << true;
    QTest::newRow("arrow") << int(Qt::Key_Left) << false;
    QTest::newRow("function key") << int(Qt::Key_F5) << false;
}

void StartupTest::keyHandsOverAtOnce()
{
    QFETCH(int, key);
    QFETCH(bool, handsOver);
    frmSplash &splash = app::Forms::show<frmSplash>();
    QTest::keyClick(&splash, Qt::Key(key));
    windowtest::settle();
    QCOMPARE(app::Forms::loaded<Form2>() != nullptr, handsOver);
    QCOMPARE(app::Forms::loaded<frmSplash>() == nullptr, handsOver);
}

void StartupTest::startUpOrder()
{
    frmSplash &splash = app::Forms::show<frmSplash>();
    QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(20, 20)); // a click does nothing
    QVERIFY(app::Forms::loaded<frmSplash>());
    QTest::keyClick(&splash, Qt::Key_X);
    Form2 *control = app::Forms::loaded<Form2>();
    dvdw *video = app::Forms::loaded<dvdw>();
    QVERIFY(control && video);
    QVERIFY(control->isVisible() && video->isVisible());
    QVERIFY(video->dvd != nullptr);
    QCOMPARE(app::Forms::loadedCount(), 2);
    // The control window is in front: it was raised last and the video window never took the focus.
    QVERIFY(video->testAttribute(Qt::WA_ShowWithoutActivating));
    QTRY_COMPARE(QApplication::activeWindow(), control);
}

void StartupTest::initialPanel()
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
    QVERIFY(f.Image10->isVisible());
    QVERIFY(!f.Image11->isVisible());
    QVERIFY(!f.Subs->isVisible());
    QCOMPARE(f.Muted, std::int16_t(0));
    QVERIFY(f.Timer1->isActive());
    QCOMPARE(f.Timer1->interval(), 500);
    // Red on black, and the progress bar black.
    QCOMPARE(f.Label1[0]->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(f.Picture1->palette().color(QPalette::Window), QColor(0, 0, 0));
    const QImage bar = f.Progres->grab().toImage();
    QCOMPARE(bar.pixelColor(bar.width() / 2, bar.height() / 2), QColor(0, 0, 0));
    // The status icons and the mute pictures are real pictures of their design size.
    QCOMPARE(f.Image14->pixmap().size(), QSize(50, 50));
    QCOMPARE(f.Image10->pixmap().size(), QSize(32, 32));
    QCOMPARE(f.Image10->size(), QSize(17, 17));
}

void StartupTest::tabOrderAndFirstFocus()
{
    Form2 &f = app::Forms::show<Form2>();
    QStringList expected{QStringLiteral("Command7"),  QStringLiteral("Command12"), QStringLiteral("Command11"),
                         QStringLiteral("Command8"),  QStringLiteral("Command6"),  QStringLiteral("Command5"),
                         QStringLiteral("Command4"),  QStringLiteral("Command3"),  QStringLiteral("Command1"),
                         QStringLiteral("Command2"),  QStringLiteral("Picture1"),  QStringLiteral("Command10"),
                         QStringLiteral("Command9"),  QStringLiteral("Progres"),   QStringLiteral("Command13")};
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

void StartupTest::accessKeys_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("key");
    QTest::newRow("About") << QStringLiteral("Command7") << QStringLiteral("Alt+A");
    QTest::newRow("Full Screen") << QStringLiteral("Command8") << QStringLiteral("Alt+N");
    QTest::newRow("Mute") << QStringLiteral("Command10") << QStringLiteral("Alt+M");
}

void StartupTest::accessKeys()
{
    QFETCH(QString, button);
    QFETCH(QString, key);
    Form2 &f = app::Forms::show<Form2>();
    auto *b = f.findChild<QAbstractButton *>(button);
    QVERIFY(b);
    QCOMPARE(QKeySequence::mnemonic(b->text()), QKeySequence(key));
}

void StartupTest::captionsFit()
{
    Form2 &f = app::Forms::show<Form2>();
    frmSplash &s = app::Forms::show<frmSplash>();
    for (QWidget *window : {static_cast<QWidget *>(&f), static_cast<QWidget *>(&s)}) {
        for (QLabel *l : window->findChildren<QLabel *>()) {
            if (l->text().isEmpty())
                continue;
            const QFontMetrics m(l->font());
            QVERIFY2(m.horizontalAdvance(l->text()) <= l->width() && m.height() <= l->height() + 4,
                     qPrintable(l->objectName() + QLatin1String(" does not fit ") + l->text()));
        }
        for (QAbstractButton *b : window->findChildren<QAbstractButton *>()) {
            QString caption = b->text();
            caption.remove(QLatin1Char('&'));
            const QFontMetrics m(b->font());
            QVERIFY2(m.horizontalAdvance(caption) + 6 <= b->width(),
                     qPrintable(b->objectName() + QLatin1String(" does not fit ") + caption));
        }
    }
}

void StartupTest::accessibility()
{
    Form2 &f = app::Forms::show<Form2>();
    auto name = [](QWidget *w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
    auto description = [](QWidget *w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Description);
    };
    QCOMPARE(name(f.Command1), QStringLiteral("Play"));        // a picture button: its tooltip
    QCOMPARE(name(f.Command10), QStringLiteral("Mute"));       // a caption: without the access mark
    QCOMPARE(description(f.Command10), QStringLiteral("Mute Audio"));
    QCOMPARE(name(f.Image14), QStringLiteral("Stop"));
    QCOMPARE(name(f.Speed), QStringLiteral("x1"));
    QVERIFY(QAccessible::queryAccessibleInterface(f.Image13)->state().invisible);
    QVERIFY(!QAccessible::queryAccessibleInterface(f.Image14)->state().invisible);
    // Buttons and the subtitle indicator can be pressed by the accessibility action.
    QAccessibleInterface *subs = QAccessible::queryAccessibleInterface(f.Subs);
    QVERIFY(subs->actionInterface());
    QSignalSpy clicked(f.Subs, &app::ClickableLabel::clicked);
    subs->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(clicked.count(), 1);
    QVERIFY(QAccessible::queryAccessibleInterface(f.Command3)->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::pressAction()));
}

void StartupTest::resizeRule_data()
{
    QTest::addColumn<QSize>("client");
    QTest::newRow("design") << QSize(564, 429);
    QTest::newRow("larger") << QSize(800, 600);
    QTest::newRow("smaller") << QSize(200, 150);
    QTest::newRow("odd") << QSize(333, 257);
    QTest::newRow("one pixel") << QSize(1, 1);
}

void StartupTest::resizeRule()
{
    QFETCH(QSize, client);
    app::Forms::show<Form2>();
    dvdw &v = app::Forms::get<dvdw>();
    v.resize(client);
    QCOMPARE(v.dvd->geometry().right() + 1, client.width());
    QCOMPARE(v.dvd->geometry().bottom() + 1, client.height());
    QCOMPARE(v.dvd->geometry().topLeft(), QPoint(0, 0)); // 1 twip rounds to the first pixel
}

void StartupTest::videoWindowIgnoresCloseRequests()
{
    app::Forms::show<Form2>();
    dvdw *v = app::Forms::loaded<dvdw>();
    QVERIFY(!v->close());
    windowtest::settle();
    QCOMPARE(app::Forms::loaded<dvdw>(), v);
    QVERIFY(v->isVisible());
    QVERIFY(!(v->windowFlags() & Qt::WindowCloseButtonHint));
}

void StartupTest::closingControlWindowEndsProgram()
{
    QSignalSpy ended(&app::Forms::instance(), &app::Forms::lastFormUnloaded);
    Form2 &f = app::Forms::show<Form2>();
    f.close();
    QCOMPARE(app::Forms::loaded<dvdw>(), nullptr);
    QCOMPARE(app::Forms::loaded<Form2>(), nullptr);
    QCOMPARE(ended.count(), 1);
}

void StartupTest::modelessDialogKeepsProgramAlive()
{
    QSignalSpy ended(&app::Forms::instance(), &app::Forms::lastFormUnloaded);
    Form2 &f = app::Forms::show<Form2>();
    app::Forms::show<ModelessDialog>();
    f.close();
    QCOMPARE(app::Forms::loaded<dvdw>(), nullptr);
    QCOMPARE(ended.count(), 0);
    app::Forms::get<ModelessDialog>().close();
    QCOMPARE(ended.count(), 1);
}

void StartupTest::referenceAfterUnloadLoadsVideoWindowAgain()
{
    app::Forms::show<Form2>();
    QPointer<FakeDvd> first = FakeDvd::current();
    app::Forms::unload<dvdw>();
    windowtest::settle();
    QVERIFY(first.isNull()); // the control went with its window
    playback::PlaybackControl &control = dvd(); // a handler's next access
    QCOMPARE(&control, FakeDvd::current());
    QVERIFY(app::Forms::loaded<dvdw>());
    QVERIFY(!app::Forms::loaded<dvdw>()->isVisible()); // loaded again without being shown
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
