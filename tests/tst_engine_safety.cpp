// The engine's threads and its helper process: libvlc's frame callback never
// runs after it has been silenced, controls destroyed while libvlc delivers
// pictures (and the scan decodes, and the read-ahead reads) leave nothing
// behind that runs on freed memory (the sanitizer run checks that), and every
// way the disc reader can fail ends in Play refusing, quickly.
#include "playback/disc/FactsHelper.h"
#include "playback/engine/FrameSink.h"
#include "playback/engine/PlayerReaper.h"
#include "playback/engine/VlcInstance.h"
#include "playback/engine/VlcPlaybackControl.h"
#include "support/SampleDisc.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <vlc/vlc.h>

#include <atomic>
#include <chrono>
#include <thread>

using playback::PlaybackError;
using playback::Variant;
using playback::disc::Problem;
using playback::engine::VlcPlaybackControl;
using testsupport::SampleVariant;

class EngineSafetyTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ORVANTA_REQUIRE_SAMPLE_DISC(); }
    void cleanupTestCase() { playback::engine::reaper::waitForAll(); }

    // A callback under way when the player is let go must be over before
    // silence() returns: what it uses may go right after.
    void silenceWaitsForTheFrameCallback()
    {
        std::atomic<bool> inCallback{false}, silenced{false}, calledAfter{false};
        std::atomic<int> calls{0};
        auto sink = std::make_shared<playback::engine::FrameSink>([&] {
            calledAfter = calledAfter || silenced;
            inCallback = true;
            ++calls;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            inCallback = false;
        });
        libvlc_media_player_t *player = libvlc_media_player_new(playback::engine::vlcInstance());
        QVERIFY(player);
        libvlc_audio_output_set(player, "adummy");
        sink->attach(player);
        const QByteArray mrl = testsupport::sampleSource(SampleVariant::Plain, playback::disc::SourceKind::Folder)
                                   .mrl().toUtf8();
        libvlc_media_t *media = libvlc_media_new_location(playback::engine::vlcInstance(), mrl.constData());
        libvlc_media_player_set_media(player, media);
        libvlc_media_release(media);
        libvlc_media_player_play(player);
        QTRY_VERIFY_WITH_TIMEOUT(calls > 3, 5000);
        // Caught while a picture is being handed over, to be silenced then.
        bool caught = false;
        for (const QDeadlineTimer deadline(5000); !(caught = inCallback) && !deadline.hasExpired();)
            std::this_thread::yield();
        QVERIFY2(caught, "no picture came");
        sink->silence();
        silenced = true;
        QVERIFY(!inCallback);
        QTest::qWait(200);
        QVERIFY(!calledAfter);
        playback::engine::reaper::retire(player, sink, nullptr);
    }

    // Qt guards connections with mutexes shared between objects by address, and
    // may hold the listener's while telling the control it lost a listener: no
    // listener going away may deadlock, whichever mutex it shares.
    void listenersGoAway()
    {
        VlcPlaybackControl dvd(testsupport::sampleFolder(SampleVariant::Plain));
        std::atomic<bool> done{false};
        std::thread watchdog([&] {
            for (int i = 0; i < 100 && !done; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!done)
                qFatal("a listener going away deadlocked");
        });
        std::vector<std::unique_ptr<QObject>> listeners(400);
        for (auto &listener : listeners) {
            listener = std::make_unique<QObject>();
            connect(&dvd, &VlcPlaybackControl::pictureShown, listener.get(), [] {});
        }
        listeners.clear();
        done = true;
        watchdog.join();
    }

    void destroyedWhileBusy_data()
    {
        QTest::addColumn<QString>("doing");
        for (const char *doing : {"reading ahead", "playing", "scanning", "skipping"})
            QTest::newRow(doing) << doing;
    }
    void destroyedWhileBusy()
    {
        QFETCH(QString, doing);
        for (int i = 0; i < 8; ++i) {
            auto dvd = std::make_unique<VlcPlaybackControl>(testsupport::sampleFolder(SampleVariant::Plain));
            if (doing != QLatin1String("reading ahead")) {
                QSignalSpy shown(dvd.get(), &VlcPlaybackControl::pictureShown);
                dvd->Play();
                QTRY_VERIFY_WITH_TIMEOUT(shown.count() > 2 + i, 5000);
                if (doing == QLatin1String("scanning"))
                    dvd->PlayBackwards(Variant::fromDouble(8.0));
                else if (doing == QLatin1String("skipping"))
                    dvd->PlayNextChapter();
                QTest::qWait(i * 7);
            }
            dvd.reset();
        }
    }

    // A facts helper that crashes, hangs, writes garbage or cannot start refuses
    // Play with a reason; it never costs the player.
    void readerFailuresRefusePlay_data()
    {
        QTest::addColumn<QString>("helper"); // a shell script; empty: no such program
        QTest::addColumn<Problem>("problem");
        QTest::newRow("crash") << "kill -SEGV $$" << Problem::NavigationDamaged;
        QTest::newRow("hang") << "exec sleep 30" << Problem::Unreadable;
        QTest::newRow("garbage") << "echo garbage" << Problem::Unreadable;
        QTest::newRow("half an answer") << "printf 'orvanta-disc-facts 2\\nF 0\\n'" << Problem::Unreadable;
        QTest::newRow("missing") << "" << Problem::Unreadable;
    }
    void readerFailuresRefusePlay()
    {
        QFETCH(QString, helper);
        QFETCH(Problem, problem);
        QTemporaryDir dir;
        const QString program = dir.filePath(QStringLiteral("reader"));
        if (!helper.isEmpty()) {
            QFile script(program);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\n" + helper.toUtf8() + '\n');
            script.close();
            script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
        playback::disc::setFactsHelperProgram(program, 1000);
        auto restore = qScopeGuard([] { playback::disc::setFactsHelperProgram(QStringLiteral(ORVANTA_FACTS_PROGRAM)); });
        VlcPlaybackControl dvd(testsupport::sampleFolder(SampleVariant::Plain));
        QSignalSpy started(&dvd, &VlcPlaybackControl::playStarted);
        dvd.Play();
        QVERIFY(started.wait(10000));
        QCOMPARE(started.first().first().toString(), playback::disc::describe(problem));
        QVERIFY(!dvd.isLoaded());
    }
};

QTEST_MAIN(EngineSafetyTest)
#include "tst_engine_safety.moc"
