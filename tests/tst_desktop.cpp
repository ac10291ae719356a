// The windows on a real X server with a window manager (openbox, on a display of
// the test's own: tests/x-session): tooltips on hover, the Play error box's
// empty title, windows centred with their frame, and windows kept out of the
// taskbar from the start.
#include "app/ClickableLabel.h"
#include "app/MessageBox.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"
#include "windows/dialogs/subtitles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QDeadlineTimer>
#include <QTimer>
#include <QToolTip>

#include <X11/Xatom.h>
#include <X11/Xlib.h>


namespace {

Display *display() { return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display(); }

// A window property as bytes (format 8) or as longs (format 32); nullopt when the window has none.
std::optional<QByteArray> xProperty(WId w, const char *name)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    XGetWindowProperty(display(), Window(w), XInternAtom(display(), name, False), 0, 1024, False, AnyPropertyType,
                       &type, &format, &count, &after, &data);
    std::optional<QByteArray> value;
    if (type != None)
        value = QByteArray(reinterpret_cast<const char *>(data), qsizetype(count) * (format == 32 ? sizeof(long) : 1));
    if (data)
        XFree(data);
    return value;
}

QList<long> longs(WId w, const char *name)
{
    const QByteArray bytes = xProperty(w, name).value_or(QByteArray());
    const auto *l = reinterpret_cast<const long *>(bytes.constData());
    return QList<long>(l, l + bytes.size() / qsizetype(sizeof(long)));
}

// The window with its frame, as the window manager placed it; empty until it has.
QRect frameOf(QWidget *w)
{
    const QList<long> extents = longs(w->winId(), "_NET_FRAME_EXTENTS"); // left, right, top, bottom
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display(), Window(w->winId()), DefaultRootWindow(display()), 0, 0, &x, &y, &child);
    if (extents.size() != 4)
        return {};
    return QRect(x, y, w->width(), w->height()).marginsAdded(
        QMargins(int(extents[0]), int(extents[2]), int(extents[1]), int(extents[3])));
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        windowtest::setUp();
        QTRY_VERIFY2_WITH_TIMEOUT(!longs(DefaultRootWindow(display()), "_NET_SUPPORTING_WM_CHECK").isEmpty(),
                                  "no window manager", 10000);
    }
    void init() { windowtest::reset(); }

    void tooltipsShowOnHover_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("tip");
        QTest::newRow("status icon") << "Image14" << "Stop";
        QTest::newRow("colon") << "Label2_0" << "Current Time Position";
        QTest::newRow("total") << "Label3" << "Total Play Time";
        QTest::newRow("mute picture") << "Image10" << "Mute Off";
        QTest::newRow("progress") << "Progres" << "Play Position Progress Indicator";
    }
    void tooltipsShowOnHover()
    {
        QFETCH(QString, control);
        QFETCH(QString, tip);
        Form2 &form = windowtest::showControlWindow();
        form.raise();
        form.activateWindow(); // Qt shows tooltips in the active window
        auto *w = form.findChild<QWidget *>(control);
        QVERIFY(w);
        QTRY_VERIFY(form.isActiveWindow());
        QToolTip::hideText();
        QCursor::setPos(w->mapToGlobal(QPoint(w->width() / 2, 3)));
        QTRY_COMPARE_WITH_TIMEOUT(QToolTip::text(), tip, 10000);
    }

    // A real click on the subtitle indicator still opens the language dialog.
    void subtitleIndicatorTakesClicks()
    {
        Form2 &form = windowtest::showControlWindow();
        form.raise();
        form.Subs->setVisible(true);
        QTRY_VERIFY(frameOf(&form).isValid());
        QCursor::setPos(form.Subs->mapToGlobal(form.Subs->rect().center()));
        QTest::qWait(100);
        QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("1")}), 0);
        QTRY_VERIFY(app::Forms::loaded<subtitles>());
    }

    void messageBoxTitles_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("title");
        QTest::newRow("Play fails: empty") << "Command1" << QByteArray();
        QTest::newRow("Full Screen: Info") << "Command8" << QByteArray("Info");
    }
    void messageBoxTitles()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, title);
        app::setMsgBoxPresenter(nullptr);
        auto restore = qScopeGuard([] { windowtest::setUp(); });
        Form2 &form = windowtest::showControlWindow();
        FakeDvd::current()->fails(QStringLiteral("Play"));
        // The box is read and closed once it is up (a busy machine takes its time), for 10 s at most.
        std::optional<QByteArray> netName, name;
        QTimer lookForBox;
        const QDeadlineTimer deadline(10000);
        connect(&lookForBox, &QTimer::timeout, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); box && box->isVisible()) {
                lookForBox.stop();
                netName = xProperty(box->winId(), "_NET_WM_NAME");
                name = xProperty(box->winId(), "WM_NAME");
                box->accept();
            } else if (deadline.hasExpired()) {
                lookForBox.stop();
            }
        });
        lookForBox.start(20);
        QTest::mouseClick(form.findChild<QAbstractButton *>(button), Qt::LeftButton);
        QCOMPARE(netName, std::optional<QByteArray>(title));
        QCOMPARE(name, std::optional<QByteArray>(title));
    }

    void centredWithItsFrame_data()
    {
        QTest::addColumn<QString>("window");
        for (const char *w : {"Form2", "dvdinfo", "subtitles", "frmAbout"})
            QTest::newRow(w) << w;
    }
    void centredWithItsFrame()
    {
        QFETCH(QString, window);
        QWidget &w = windowtest::showWindow(window);
        // The window manager frames the window first, and the window moves after
        // (seconds later when the machine is busy).
        // Once seen centred it is: a reading taken while the window is being framed
        // can be off for a moment.
        QPoint off;
        bool seen = false;
        const auto centred = [&] {
            const QRect frame = frameOf(&w);
            off = frame.center() - w.screen()->availableGeometry().center();
            return frame.isValid() && off.manhattanLength() <= 1;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(seen || (seen = centred()),
                                  qPrintable(QStringLiteral("off by %1, %2").arg(off.x()).arg(off.y())), 10000);
    }

    void taskbarButtonFromTheStart_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<bool>("button");
        QTest::newRow("control window") << "Form2" << true;
        QTest::newRow("video window") << "dvdw" << false;
        QTest::newRow("About box") << "frmAbout" << false;
        QTest::newRow("language dialog") << "subtitles" << false;
    }
    void taskbarButtonFromTheStart()
    {
        QFETCH(QString, window);
        QFETCH(bool, button);
        // Read as the window is mapped, before the window manager has looked at it.
        QWidget &w = windowtest::showWindow(window);
        const Atom skip = XInternAtom(display(), "_NET_WM_STATE_SKIP_TASKBAR", False);
        QCOMPARE(!longs(w.winId(), "_NET_WM_STATE").contains(long(skip)), button);
    }
};

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
