// orvanta-test: XVFB
// The windows on a real X server with a window manager (an X server and openbox
// of the test's own): tooltips on hover, the Play error box's empty title, windows
// centred with their frame, and windows kept out of the taskbar from the start.
#include "app/ClickableLabel.h"
#include "app/MessageBox.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"
#include "windows/dialogs/dvdinfo.h"
#include "windows/dialogs/frmAbout.h"
#include "windows/dialogs/subtitles.h"
#include "windows/video/dvdw.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

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

app::Form &showWindow(const QString &name)
{
    if (name == QLatin1String("dvdinfo"))
        return app::Forms::show<dvdinfo>();
    if (name == QLatin1String("subtitles"))
        return app::Forms::show<subtitles>();
    if (name == QLatin1String("frmAbout"))
        return app::Forms::show<frmAbout>();
    if (name == QLatin1String("dvdw"))
        return app::Forms::show<dvdw>();
    return app::Forms::show<Form2>();
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        windowtest::setUp();
        QVERIFY2(!longs(DefaultRootWindow(display()), "_NET_SUPPORTING_WM_CHECK").isEmpty(), "no window manager");
    }
    void init() { windowtest::reset(); }

    void tooltipsShowOnHover_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("tip");
        QTest::newRow("status icon") << "Image14" << "Stop";
        QTest::newRow("position") << "Label1_1" << "Current Time Position";
        QTest::newRow("colon") << "Label2_0" << "Current Time Position";
        QTest::newRow("total") << "Label3" << "Total Play Time";
        QTest::newRow("speed") << "Speed" << "Play Speed";
        QTest::newRow("mute picture") << "Image10" << "Mute Off";
        QTest::newRow("progress") << "Progres" << "Play Position Progress Indicator";
        QTest::newRow("button") << "Command5" << "Stop";
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
        QTRY_COMPARE_WITH_TIMEOUT(QToolTip::text(), tip, 3000);
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
        std::optional<QByteArray> netName, name;
        QTimer::singleShot(300, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                netName = xProperty(box->winId(), "_NET_WM_NAME");
                name = xProperty(box->winId(), "WM_NAME");
                box->accept();
            }
        });
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
        QWidget &w = showWindow(window);
        QRect frame;
        QTRY_VERIFY((frame = frameOf(&w)).isValid());
        const QPoint off = frame.center() - w.screen()->availableGeometry().center();
        QVERIFY2(off.manhattanLength() <= 1, qPrintable(QStringLiteral("%1 off by %2, %3").arg(window).arg(off.x()).arg(off.y())));
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
        QWidget &w = showWindow(window);
        const Atom skip = XInternAtom(display(), "_NET_WM_STATE_SKIP_TASKBAR", False);
        QCOMPARE(!longs(w.winId(), "_NET_WM_STATE").contains(long(skip)), button);
    }
};

// An X server and a window manager of the test's own, so that nothing else on
// the display (other tests) meets the window manager, and it meets nothing else.
class PrivateDesktop {
public:
    ~PrivateDesktop()
    {
        for (pid_t pid : {m_wm, m_server}) {
            if (pid > 0) {
                ::kill(pid, SIGTERM);
                ::waitpid(pid, nullptr, 0);
            }
        }
    }

    bool start()
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return false;
        m_server = spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, fds[1]);
        ::close(fds[1]);
        char number[16] = {};
        const ssize_t n = m_server > 0 ? ::read(fds[0], number, sizeof number - 1) : -1;
        ::close(fds[0]);
        if (n <= 0)
            return false;
        m_display = ":" + QByteArray(number).trimmed();
        qputenv("DISPLAY", m_display);
        if (!m_home.isValid() || !waitForServer())
            return false;
        qputenv("HOME", QFile::encodeName(m_home.path())); // openbox's own files go there
        m_wm = spawn({"openbox", "--sm-disable"}, -1);
        // Ready when the window manager has announced itself on the root window.
        for (int i = 0; i < 1000; ++i) {
            if (Display *d = XOpenDisplay(m_display.constData())) {
                Atom type = None;
                int format = 0;
                unsigned long count = 0, after = 0;
                unsigned char *data = nullptr;
                XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False), 0, 1,
                                   False, XA_WINDOW, &type, &format, &count, &after, &data);
                if (data)
                    XFree(data);
                XCloseDisplay(d);
                if (count == 1)
                    return true;
            }
            ::usleep(10000);
        }
        return false;
    }

private:
    bool waitForServer() const
    {
        for (int i = 0; i < 1000; ++i) {
            if (Display *d = XOpenDisplay(m_display.constData())) {
                XCloseDisplay(d);
                return true;
            }
            ::usleep(10000);
        }
        std::fprintf(stderr, "Xvfb %s does not answer\n", m_display.constData());
        return false;
    }

    // Starts a program; fd, when given, becomes its file descriptor 3.
    static pid_t spawn(std::initializer_list<const char *> args, int fd)
    {
        std::vector<char *> argv;
        for (const char *a : args)
            argv.push_back(const_cast<char *>(a));
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (fd >= 0 && fd != 3)
                ::dup2(fd, 3);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        return pid;
    }

    pid_t m_server = -1, m_wm = -1;
    QByteArray m_display;
    QTemporaryDir m_home;
};

int main(int argc, char **argv)
{
    PrivateDesktop desktop;
    if (!desktop.start()) {
        std::fprintf(stderr, "could not start Xvfb and openbox (scripts/install-deps installs them)\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    DesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"
