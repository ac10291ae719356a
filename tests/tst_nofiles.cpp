// orvanta-test: ENGINE XVFB
// The player reads and writes no files: the real program, run on the sample
// disc with its home, XDG folders, temporary folder and working directory all
// empty, leaves every one of them empty, while it plays and after it has been
// closed the way a user closes it (a close request to the control window).
// With no session bus it starts none (X11 D-Bus autolaunch would start one that
// stays): no process it started outlives it.

#include "support/SampleDisc.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>

#include <memory>

namespace {

const QString kControlWindowTitle = QStringLiteral("^Orvanta v2\\.0 - Control Window$"); // a pattern

QString programPath()
{
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../src/orvanta-player"));
}

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

// Whether process pid has a file open at or below path.
bool opensBelow(qint64 pid, const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString &fd : fds.entryList(QDir::Files | QDir::System)) {
        const QString target = QFileInfo(fds.filePath(fd)).symLinkTarget();
        if (target == canonical || target.startsWith(canonical + QLatin1Char('/')))
            return true;
    }
    return false;
}

// The processes that carry tag in their environment (inherited from the player).
QStringList processesTagged(const QByteArray &tag)
{
    QStringList found;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(tag)) {
            QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
            cmdline.open(QIODevice::ReadOnly);
            found << pid + QLatin1Char(' ') + QString::fromLocal8Bit(cmdline.readAll().replace('\0', ' '));
        }
    }
    return found;
}

// What appeared besides the empty folders, for the failure message.
QString written(const QString &root, const QStringList &folders)
{
    QStringList extra = entriesBelow(root);
    for (const QString &f : folders)
        extra.removeOne(f);
    return QStringLiteral("written: ") + extra.join(QStringLiteral(", "));
}

struct DisplayCloser {
    void operator()(Display *d) const { XCloseDisplay(d); }
};

// The top-level window of process pid whose title matches, or None. Several
// test programs share the X server, so the process id tells them apart.
Window findWindow(qint64 pid, const QString &titlePattern)
{
    QProcess search;
    search.start(QStringLiteral("xdotool"),
                 {"search", "--all", "--pid", QString::number(pid), "--name", titlePattern});
    search.waitForFinished(5000);
    return Window(search.readAllStandardOutput().split('\n').first().toULong());
}

// What a window manager sends when the user clicks the close button.
void requestClose(Display *display, Window w)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, w, False, NoEventMask, &event);
    XFlush(display);
}

} // namespace

class NoFilesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        ORVANTA_REQUIRE_SAMPLE_DISC();
        QVERIFY2(QFileInfo(programPath()).isExecutable(), qPrintable(programPath()));
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "needs an X server");
    }

    void writesNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("pressPlay");
        using testsupport::SampleVariant;
        QTest::newRow("image") << QStringList{testsupport::sampleImage(SampleVariant::Plain)} << true;
        QTest::newRow("folder") << QStringList{testsupport::sampleFolder(SampleVariant::Plain)} << true;
        QTest::newRow("menu disc") << QStringList{testsupport::sampleImage(SampleVariant::Menu)} << true;
        // No disc named and (on a test machine) none in a drive: the failure path.
        QTest::newRow("no disc") << QStringList{} << false;
    }

    void writesNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, pressPlay);

        QTemporaryDir sandbox;
        QVERIFY(sandbox.isValid());
        const QDir root(sandbox.path());
        // Each folder the player could write to, and the variable that points there.
        const QList<std::pair<QString, const char *>> places = {
            {"home", "HOME"}, {"config", "XDG_CONFIG_HOME"}, {"cache", "XDG_CACHE_HOME"}, {"data", "XDG_DATA_HOME"},
            {"state", "XDG_STATE_HOME"}, {"runtime", "XDG_RUNTIME_DIR"}, {"tmp", "TMPDIR"}, {"work", nullptr}};
        // In a desktop session the sound server has made its folder in the runtime
        // folder; without one, the sound client library makes it while looking for
        // the server. That folder is the session's, not the player's.
        QStringList expected = {QStringLiteral("runtime/pulse")};
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto &[folder, variable] : places) {
            QVERIFY(root.mkpath(folder));
            expected << folder;
            if (variable)
                env.insert(QString::fromLatin1(variable), root.filePath(folder));
        }
        QVERIFY(root.mkpath(expected.first()));
        for (const QString &f : {QStringLiteral("runtime"), QStringLiteral("runtime/pulse")})
            QFile::setPermissions(root.filePath(f), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        expected.sort();

        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        const QByteArray tag = "ORVANTA_NOFILES_TAG=" + QByteArray::number(QCoreApplication::applicationPid()) + '-'
                               + QTest::currentDataTag();
        env.insert(QString::fromLatin1(tag.split('=')[0]), QString::fromLatin1(tag.split('=')[1]));

        QProcess player;
        player.setProcessEnvironment(env);
        player.setWorkingDirectory(root.filePath(QStringLiteral("work")));
        player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        player.start(programPath(), arguments);
        QVERIFY2(player.waitForStarted(5000), qPrintable(player.errorString()));
        auto killer = qScopeGuard([&] {
            if (player.state() != QProcess::NotRunning) {
                player.kill();
                player.waitForFinished(5000);
            }
        });

        std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
        QVERIFY(display);
        Window control = None;
        QTRY_VERIFY_WITH_TIMEOUT((control = findWindow(player.processId(), kControlWindowTitle)) != None, 10000);

        if (pressPlay) {
            // The About button has the focus after start-up; Play is eight Tabs further on.
            const QStringList keys = QStringList{"windowfocus", "--sync", QString::number(control), "key", "--delay", "50"}
                                     + QStringList(8, QStringLiteral("Tab")) + QStringList{"space"};
            QTest::qWait(500);
            QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), keys), 0);
            // The engine holds the disc open while it plays.
            QTRY_VERIFY_WITH_TIMEOUT(opensBelow(player.processId(), arguments.first()), 5000);
        }
        QTest::qWait(3000);
        QCOMPARE(player.state(), QProcess::Running);
        QVERIFY2(entriesBelow(root.path()) == expected, qPrintable(written(root.path(), expected)));

        requestClose(display.get(), control);
        QVERIFY2(player.waitForFinished(15000), "the program did not end after its control window was closed");
        QCOMPARE(player.exitStatus(), QProcess::NormalExit);
        QCOMPARE(player.exitCode(), 0);
        QVERIFY2(entriesBelow(root.path()) == expected, qPrintable(written(root.path(), expected)));
        const QStringList left = processesTagged(tag);
        QVERIFY2(left.isEmpty(), qPrintable(QStringLiteral("still running: ") + left.join(QStringLiteral(", "))));
    }
};

QTEST_GUILESS_MAIN(NoFilesTest)
#include "tst_nofiles.moc"
