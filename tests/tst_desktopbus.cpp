// The player on a session bus of its own (the test runs under dbus-run-session),
// with the real engine on the sample disc: the desktop's media controls (MPRIS)
// press the control window's buttons, and the screen saver is held off exactly
// while the disc plays, by the player alone (libvlc would hold it too while its
// window is open). Eject asks UDisks2 to open the tray; a fake of it serves on
// the session bus, which the test makes its system bus too. The player's side
// answers from this thread's event loop, so the test calls it without
// blocking, on a connection of its own.
#include "desktop/MediaPlayer2.h"
#include "playback/disc/Source.h"
#include "playback/engine/Engine.h"
#include "support/FakeBus.h"
#include "support/SampleDisc.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"
#include "windows/video/dvdw.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMetaType>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QLabel>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <optional>

using testsupport::FakeUDisks;
using testsupport::OnBus;

namespace {


const QString kService = QStringLiteral("org.mpris.MediaPlayer2.orvanta");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

// A screen saver or session manager that counts the cookies it holds. It runs on
// a thread of its own, as a real service runs in a process of its own.
class InhibitService : public QObject {
    Q_OBJECT
public:
    std::atomic<int> held{0}, mostHeld{0};
    uint inhibit() { return uint(mostHeld = std::max(mostHeld.load(), ++held)); }
    void release() { --held; }
};

// With answerLate, Inhibit answers only when the test calls answer().
class FakeScreenSaver : public InhibitService, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    std::atomic<bool> answerLate{false}, asked{false};
    void answer()
    {
        asked = false;
        m_bus->send(m_question.createReply(inhibit()));
    }
public slots:
    uint Inhibit(const QString &, const QString &)
    {
        if (!answerLate)
            return inhibit();
        setDelayedReply(true);
        m_question = message();
        m_bus = connection();
        asked = true;
        return 0;
    }
    void UnInhibit(uint) { release(); }

private:
    QDBusMessage m_question;
    std::optional<QDBusConnection> m_bus;
};

class FakeGnomeSession : public InhibitService {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.SessionManager")
public slots:
    uint Inhibit(const QString &, uint, const QString &, uint flags) { return flags == 8 ? inhibit() : 0; }
    void Uninhibit(uint) { release(); }
};

} // namespace

class DesktopBusTest : public QObject {
    Q_OBJECT
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"));
    QStringList statusesAnnounced;
    QVariantMap announced; // the latest value announced of each property
    QList<qlonglong> seeks;

    QVariant call(const QString &interface, const QString &method, const QVariantList &args = {})
    {
        QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, interface, method);
        m.setArguments(args);
        QDBusPendingCall pending = client.asyncCall(m);
        if (!QTest::qWaitFor([&] { return pending.isFinished(); }, 5000) || pending.isError())
            return QStringLiteral("no answer: ") + pending.error().message();
        return pending.reply().arguments().value(0);
    }
    QVariant property(const QString &interface, const QString &name)
    {
        return call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {interface, name})
            .value<QDBusVariant>()
            .variant();
    }
    QVariantMap metadata() { return qdbus_cast<QVariantMap>(property(kPlayer, QStringLiteral("Metadata"))); }
    QString shownTitle() { return metadata().value(QStringLiteral("xesam:title")).toString(); }
    qlonglong position() { return property(kPlayer, QStringLiteral("Position")).toLongLong(); }

private slots:
    void onPropertiesChanged(const QString &, const QVariantMap &changed, const QStringList &)
    {
        if (changed.contains(QStringLiteral("PlaybackStatus")))
            statusesAnnounced << changed.value(QStringLiteral("PlaybackStatus")).toString();
        announced.insert(changed);
    }
    void onSeeked(qlonglong position) { seeks << position; }

    void initTestCase()
    {
        ORVANTA_REQUIRE_SAMPLE_DISC();
        QVERIFY2(client.isConnected(), "run under dbus-run-session");
        windowtest::setUp();
        playback::installPlaybackEngine(testsupport::sampleImage(testsupport::SampleVariant::Plain));
        QVERIFY(client.connect(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                               QStringLiteral("PropertiesChanged"), this,
                               SLOT(onPropertiesChanged(QString, QVariantMap, QStringList))));
        QVERIFY(client.connect(kService, kPath, kPlayer, QStringLiteral("Seeked"), this, SLOT(onSeeked(qlonglong))));
    }
    void cleanup()
    {
        windowtest::reset();
        QVERIFY(windowtest::msgBoxes().isEmpty());
    }

    void mediaControls()
    {
        Form2 &form = app::Forms::show<Form2>();
        QCOMPARE(property(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Identity")).toString(),
                 QStringLiteral("Orvanta Player"));
        QCOMPARE(property(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));

        call(kPlayer, QStringLiteral("PlayPause")); // stopped: Play
        QTRY_COMPARE_WITH_TIMEOUT(shownTitle(), QStringLiteral("Title 1 \u00b7 Chapter 1"), 5000);
        QCOMPARE(windowtest::visibleStatusIcons(form), QStringLiteral("Image12"));

        // A click on Pause/Continue, then the same through the bus.
        form.Command2->click();
        const QString clickedIcons = windowtest::visibleStatusIcons(form), clickedTip = form.Command2->toolTip();
        form.Command2->click();
        call(kPlayer, QStringLiteral("PlayPause"));
        QTRY_COMPARE(windowtest::visibleStatusIcons(form), clickedIcons);
        QCOMPARE(form.Command2->toolTip(), clickedTip);
        QCOMPARE(property(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Paused"));

        call(kPlayer, QStringLiteral("Next"));
        QTRY_COMPARE_WITH_TIMEOUT(shownTitle(), QStringLiteral("Title 1 \u00b7 Chapter 2"), 3000);
        QCOMPARE(metadata().value(QStringLiteral("xesam:album")).toString(),
                 QStringLiteral("ORVANTA_PLAIN"));
        call(kPlayer, QStringLiteral("Previous")); // early in chapter 2: chapter 1
        QTRY_COMPARE_WITH_TIMEOUT(shownTitle(), QStringLiteral("Title 1 \u00b7 Chapter 1"), 3000);
        call(kPlayer, QStringLiteral("Stop"));
        QTRY_COMPARE(property(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
        call(kPlayer, QStringLiteral("Play"));
        QTRY_COMPARE(property(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
        QTRY_COMPARE(statusesAnnounced, (QStringList{"Playing", "Paused", "Stopped", "Playing"}));

        // Unloaded, the control window leaves the bus.
        app::Forms::unload<Form2>();
        QVERIFY(!client.interface()->isServiceRegistered(kService).value());
    }

    // The position is the engine's, to the millisecond. A jump in it is announced
    // (a chapter skip, the end of a reverse scan), steady play is not.
    void positionAndSeeked()
    {
        Form2 &form = app::Forms::show<Form2>();
        form.Command1->click();
        QTRY_VERIFY_WITH_TIMEOUT(position() >= 1500000, 8000);
        seeks.clear(); // the title's start
        QList<qlonglong> steady;
        for (int i = 0; i < 4; ++i, QTest::qWait(300))
            steady << position();
        QVERIFY2(std::is_sorted(steady.begin(), steady.end()), qPrintable(QDebug::toString(steady)));
        QVERIFY(std::any_of(steady.begin(), steady.end(), [](qlonglong us) { return us % 1000000 != 0; }));
        QCOMPARE(seeks, QList<qlonglong>());

        call(kPlayer, QStringLiteral("Next")); // chapter 2 starts at 8 s
        QTRY_COMPARE_WITH_TIMEOUT(seeks.size(), 1, 3000);
        QVERIFY2(seeks[0] >= 8000000 && seeks[0] < 9500000, qPrintable(QString::number(seeks[0])));
        form.Command12->click();
        QTRY_COMPARE(property(kPlayer, QStringLiteral("Rate")).toDouble(), -8.0); // backwards at x8
        QTRY_VERIFY_WITH_TIMEOUT(position() < 7500000, 5000);
        form.Command1->click(); // plays on from the scan's picture
        QTRY_COMPARE_WITH_TIMEOUT(seeks.size(), 2, 3000);
        QVERIFY2(seeks[1] < 7500000, qPrintable(QString::number(seeks[1])));
    }

    // While a modal box is open the media controls press nothing and say so, and
    // Quit closes the box and then every window.
    void modalBox_data()
    {
        QTest::addColumn<bool>("about");
        QTest::newRow("About box") << true;
        QTest::newRow("Play error box") << false;
    }
    void modalBox()
    {
        QFETCH(bool, about);
        app::setMsgBoxPresenter(nullptr);
        playback::installPlaybackEngine(about ? testsupport::sampleImage(testsupport::SampleVariant::Plain)
                                              : QStringLiteral("/nonexistent/disc.iso"));
        auto restore = qScopeGuard([] {
            windowtest::setUp();
            playback::installPlaybackEngine(testsupport::sampleImage(testsupport::SampleVariant::Plain));
        });
        Form2 &form = app::Forms::show<Form2>();
        if (about) {
            form.Command1->click();
            QTRY_COMPARE_WITH_TIMEOUT(shownTitle(), QStringLiteral("Title 1 \u00b7 Chapter 1"), 5000);
        }
        bool quitAsked = false;
        QTimer::singleShot(0, this, [&] { // runs in the box's own loop
            QTRY_VERIFY(QApplication::activeModalWidget());
            QWidget *box = QApplication::activeModalWidget();
            QTRY_COMPARE(announced.value(QStringLiteral("CanPlay")), QVariant(false));
            for (const char *can : {"CanPlay", "CanPause", "CanGoNext", "CanGoPrevious"})
                QCOMPARE(property(kPlayer, QLatin1String(can)).toBool(), false);
            QCOMPARE(property(kPlayer, QStringLiteral("CanControl")).toBool(), true);
            const QString icons = windowtest::visibleStatusIcons(form);
            for (const char *command : {"Stop", "Play", "PlayPause", "Next"})
                call(kPlayer, QLatin1String(command));
            windowtest::settle();
            QCOMPARE(windowtest::visibleStatusIcons(form), icons);
            QCOMPARE(QApplication::activeModalWidget(), box);
            call(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Quit"));
            quitAsked = true;
        });
        (about ? form.Command7 : form.Command1)->click(); // returns when the box has gone
        QVERIFY(quitAsked);
        QTRY_COMPARE(app::Forms::loadedCount(), 0);
    }

    void screenKeptAwake_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QStringList>("paths");
        // Screen savers answer on both paths; libvlc calls the short one.
        QTest::newRow("screen saver") << "org.freedesktop.ScreenSaver"
                                      << QStringList{"/org/freedesktop/ScreenSaver", "/ScreenSaver"};
        QTest::newRow("no screen saver, GNOME") << "org.gnome.SessionManager"
                                                << QStringList{"/org/gnome/SessionManager"};
    }
    void screenKeptAwake()
    {
        QFETCH(QString, service);
        QFETCH(QStringList, paths);
        std::unique_ptr<InhibitService> fake;
        if (service.contains(QLatin1String("gnome")))
            fake = std::make_unique<FakeGnomeSession>();
        else
            fake = std::make_unique<FakeScreenSaver>();
        OnBus onBus(*fake, service, paths);
        QVERIFY(onBus.registered());

        Form2 &form = app::Forms::show<Form2>();
        QCOMPARE(fake->held.load(), 0);
        form.Command1->click();
        QTRY_COMPARE(fake->held.load(), 1);
        // libvlc's own hold would come with its picture
        QTRY_VERIFY_WITH_TIMEOUT(form.Label1[2]->text().toInt() >= 1, 5000);
        QCOMPARE(fake->held.load(), 1);
        form.Command2->click(); // pause
        QTRY_COMPARE(fake->held.load(), 0);
        form.Command2->click(); // continue
        QTRY_COMPARE(fake->held.load(), 1);
        form.Command5->click();
        QTRY_COMPARE(fake->held.load(), 0);
        form.Command1->click();
        QTRY_COMPARE(fake->held.load(), 1);
        app::Forms::unload<Form2>(); // the program ends with its control window
        QCOMPARE(fake->held.load(), 0);
        QCOMPARE(fake->mostHeld.load(), 1);
    }

    // A cookie that comes after playing has paused is given back at once; one that
    // comes while playing is kept.
    // Eject asks UDisks2 when it knows the drive, and says why it refused; a
    // device it does not know is the drive's own business.
    void ejectThroughTheDesktop_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<QString>("refused");
        QTest::addColumn<int>("ejects");
        QTest::newRow("ejected") << "/dev/sr0" << false << QString() << 1;
        QTest::newRow("locked") << "/dev/sr0" << true << "the drive's tray could not be opened (the tray is locked)." << 0;
        QTest::newRow("not UDisks2's") << "/dev/sr9" << false << "there is no drive at /dev/sr9." << 0;
    }
    void ejectThroughTheDesktop()
    {
        QFETCH(QString, device);
        QFETCH(bool, locked);
        QFETCH(QString, refused);
        QFETCH(int, ejects);
        FakeUDisks udisks;
        udisks.locked = locked;
        const OnBus on(udisks, QStringLiteral("org.freedesktop.UDisks2"), {QStringLiteral("/org/freedesktop/UDisks2")});
        QVERIFY(on.registered());
        QCOMPARE(playback::disc::ejectDrive(device).value_or(QString()), refused);
        QCOMPARE(udisks.ejects.load(), ejects);
    }

    void lateCookie()
    {
        FakeScreenSaver fake;
        fake.answerLate = true;
        OnBus onBus(fake, QStringLiteral("org.freedesktop.ScreenSaver"), {QStringLiteral("/org/freedesktop/ScreenSaver")});
        QVERIFY(onBus.registered());
        const auto answer = [&] { QMetaObject::invokeMethod(&fake, [&] { fake.answer(); }, Qt::BlockingQueuedConnection); };

        Form2 &form = app::Forms::show<Form2>();
        form.Command1->click();
        QTRY_VERIFY(fake.asked);
        form.Command2->click(); // pause before the answer
        answer();
        QTRY_COMPARE(fake.held.load(), 0);
        form.Command2->click(); // continue
        QTRY_VERIFY(fake.asked);
        answer();
        QTest::qWait(200); // a give-back would be on its way by now
        QCOMPARE(fake.held.load(), 1);
        app::Forms::unload<Form2>();
        QCOMPARE(fake.held.load(), 0);
    }
};

QTEST_MAIN(DesktopBusTest)
#include "tst_desktopbus.moc"
