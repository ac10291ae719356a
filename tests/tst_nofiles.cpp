// The player reads and writes no files: the real program, run on the sample
// disc with its home, XDG folders, temporary folder and working directory all
// empty, leaves every one of them empty, while it plays and after it has been
// closed the way a user closes it (a close request to the control window).
// With no session bus it starts none (X11 D-Bus autolaunch would start one that
// stays): no process it started outlives it, and it says nothing about the bus.
#include "support/SampleDisc.h"

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>

namespace {

QString programPath() { return QStringLiteral(ORVANTA_PLAYER_PROGRAM); }

// Every file and folder below root, relative to it.
QStringList entriesBelow(const QString &root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(root).relativeFilePath(it.next());
    found.sort();
    return found;
}

// The processes that carry tag in their environment (inherited from the player).
QStringList processesTagged(const QByteArray &tag)
{
    QStringList found;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(tag))
            found << pid;
    }
    return found;
}

// The first window of process pid whose title matches the pattern, or None.
Window windowOf(qint64 pid, const QString &title)
{
    QProcess search;
    search.start(QStringLiteral("xdotool"), {"search", "--all", "--onlyvisible", "--pid", QString::number(pid), "--name", title});
    search.waitForFinished(5000);
    return Window(search.readAllStandardOutput().split('\n').first().toULong());
}

// What a window manager sends when the user clicks the close button.
void requestClose(Window w)
{
    Display *display = XOpenDisplay(nullptr);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, w, False, NoEventMask, &event);
    XCloseDisplay(display);
}

} // namespace

class NoFilesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ORVANTA_REQUIRE_SAMPLE_DISC(); }

    void writesNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("image, played") << QStringList{testsupport::sampleImage(testsupport::SampleVariant::Plain)};
        // No disc named and (on a test machine) none in a drive: the failure path.
        QTest::newRow("no disc") << QStringList{};
    }
    void writesNothing()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir sandbox;
        const QDir root(sandbox.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        const QByteArray tag = "ORVANTA_NOFILES_TAG=" + QByteArray::number(QCoreApplication::applicationPid());
        env.insert(QStringLiteral("ORVANTA_NOFILES_TAG"), QString::fromLatin1(tag.mid(20)));
        // Each folder the player could write to, and the variable that points there.
        QStringList expected;
        for (const auto &[folder, variable] : QList<std::pair<QString, QString>>{
                 {"home", "HOME"}, {"config", "XDG_CONFIG_HOME"}, {"cache", "XDG_CACHE_HOME"},
                 {"data", "XDG_DATA_HOME"}, {"runtime", "XDG_RUNTIME_DIR"}, {"tmp", "TMPDIR"}, {"work", ""}}) {
            QVERIFY(root.mkpath(folder));
            expected << folder;
            if (!variable.isEmpty())
                env.insert(variable, root.filePath(folder));
        }
        // Without a sound server, the sound client library makes its folder in the runtime folder.
        QVERIFY(root.mkpath(QStringLiteral("runtime/pulse")));
        expected << QStringLiteral("runtime/pulse");
        QFile::setPermissions(root.filePath("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        expected.sort();

        QProcess player;
        player.setProcessEnvironment(env);
        player.setWorkingDirectory(root.filePath(QStringLiteral("work")));
        player.start(programPath(), arguments);
        QVERIFY2(player.waitForStarted(5000), qPrintable(player.errorString()));
        auto killer = qScopeGuard([&] {
            player.kill();
            player.waitForFinished(5000);
        });
        Window control = None;
        // Once found it stays found: QTRY evaluates the condition again after the wait.
        QTRY_VERIFY_WITH_TIMEOUT(
            control != None || (control = windowOf(player.processId(), "^Orvanta v2\\.0 - Control Window$")) != None,
            10000);
        if (!arguments.isEmpty()) { // Play is eight Tabs from About, which has the focus after start-up
            QTest::qWait(500);
            QCOMPARE(QProcess::execute(QStringLiteral("xdotool"),
                                       QStringList{"windowfocus", "--sync", QString::number(control), "key", "--delay",
                                                   "50"} + QStringList(8, QStringLiteral("Tab")) + QStringList{"space"}),
                     0);
            // The engine holds the disc open while it plays.
            QTRY_VERIFY_WITH_TIMEOUT(
                [&] {
                    const QDir fds(QStringLiteral("/proc/%1/fd").arg(player.processId()));
                    for (const QString &fd : fds.entryList(QDir::Files | QDir::System))
                        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == arguments.first())
                            return true;
                    return false;
                }(),
                5000);
        }
        QTest::qWait(3000);
        QCOMPARE(player.state(), QProcess::Running);
        QCOMPARE(entriesBelow(root.path()), expected);

        requestClose(control);
        QVERIFY2(player.waitForFinished(15000), "the program did not end after its control window was closed");
        QCOMPARE(player.exitCode(), 0);
        QCOMPARE(entriesBelow(root.path()), expected);
        QCOMPARE(processesTagged(tag), QStringList());
        // Without a bus the media controls and the screen saver are left out without a word.
        const QByteArray errors = player.readAllStandardError();
        QVERIFY2(!errors.contains("bus") && !errors.contains("Bus"), errors.constData());
    }

    // Started without a terminal (from the desktop), the player shows why it
    // refuses a disc in a box as well; the exit status stays 2.
    void refusalShownWithoutTerminal()
    {
        QTemporaryDir dir;
        const QString loop = dir.filePath(QStringLiteral("loop"));
        QVERIFY(QFile::link(loop, loop));
        QProcess player; // its standard input and error are pipes
        player.start(programPath(), {loop});
        Window box = None;
        QTRY_VERIFY_WITH_TIMEOUT((box = windowOf(player.processId(), "^Orvanta Player$")) != None, 10000);
        QCOMPARE(QProcess::execute("xdotool", {"windowfocus", "--sync", QString::number(box), "key", "Return"}), 0);
        QVERIFY(player.waitForFinished(5000));
        QCOMPARE(player.exitCode(), 2);
        QVERIFY(player.readAllStandardError().contains(": too many symbolic links"));
    }
};

QTEST_GUILESS_MAIN(NoFilesTest)
#include "tst_nofiles.moc"
