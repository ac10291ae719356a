// orvanta-test: ENGINE
// The libvlc playback control and what it says about discs: menus driven by
// the keyboard, subtitle streams, mute across titles, disc facts, and bad input.

#include "playback/engine/FactsPrefetch.h"
#include "playback/engine/VlcPlaybackControl.h"

#include "support/SampleDisc.h"
#include "tst_engine_stamp.h"

#include <QtTest>
#include <vlc/vlc.h>

using namespace enginetest;
using playback::PlaybackError;
using playback::Variant;
using playback::engine::VlcPlaybackControl;

class EngineDiscsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<VlcPlaybackControl> dvd;
    testsupport::BadDiscCorpus corpus;
    QString corpusError;
    bool corpusBuilt = false;

    std::optional<Stamp> stampOnScreen() { return readStamp(dvd->lastFrame()); }
    bool waitForStamp(const std::function<bool(const Stamp &)> &pred, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { auto s = stampOnScreen(); return s && pred(*s); }, timeoutMs);
    }
    void open(const QString &disc)
    {
        dvd = std::make_unique<VlcPlaybackControl>(disc);
        dvd->resize(360, 288);
    }

private slots:
    void initTestCase() { corpusBuilt = corpus.build(&corpusError); }
    void cleanup() { dvd.reset(); }

    void menuByKeyboard_data()
    {
        QTest::addColumn<QString>("disc");
        QTest::addColumn<bool>("down");
        QTest::addColumn<int>("title");
        QTest::newRow("image, first button") << discs() + QStringLiteral("/menu.iso") << false << 1;
        QTest::newRow("folder, second button") << discs() + QStringLiteral("/menu") << true << 2;
    }
    void menuByKeyboard()
    {
        QFETCH(QString, disc);
        QFETCH(bool, down);
        QFETCH(int, title);
        open(disc);
        dvd->Play();
        QVERIFY(waitForStamp([](const Stamp &s) { return s.title == 0; }));
        // No title plays in a menu: title, chapter and time reads fail.
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->CurrentTitle());
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->CurrentChapter());
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->CurrentTime());
        QTest::qWait(300); // the menu's buttons become active with its first picture
        if (down)
            QTest::keyClick(dvd.get(), Qt::Key_Down);
        QTest::keyClick(dvd.get(), Qt::Key_Return);
        QVERIFY(waitForStamp([&](const Stamp &s) { return s.title == title; }));
        QTRY_COMPARE_WITH_TIMEOUT(dvd->CurrentTitle().toInt32(), title, 2000);
    }

    void subtitles()
    {
        open(discs() + QStringLiteral("/plain"));
        dvd->Play();
        QVERIFY(waitForStamp([](const Stamp &s) { return s.title == 1; }));
        QTRY_COMPARE_WITH_TIMEOUT(dvd->SubpictureStreamsAvailable().toInt32(), 3, 2000);
        const QStringList names{"English", "French", "German"};
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(dvd->GetSubpictureLanguage(Variant::fromInt32(n)).toString(), names[n - 1]);
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->GetSubpictureLanguage(Variant::fromInt32(0)));
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->GetSubpictureLanguage(Variant::fromInt32(4)));
        QCOMPARE(dvd->SubpictureOn().toBool(), false);

        dvd->setSubpictureOn(Variant::fromBool(true));
        QCOMPARE(dvd->SubpictureOn().toBool(), true);
        QTRY_COMPARE_WITH_TIMEOUT(libvlc_video_get_spu(dvd->player()), 0xBD20, 2000);
        dvd->setCurrentSubpictureStream(Variant::fromInt32(3));
        QCOMPARE(dvd->CurrentSubpictureStream().toInt32(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(libvlc_video_get_spu(dvd->player()), 0xBD22, 2000);
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->setCurrentSubpictureStream(Variant::fromInt32(4)));
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->setCurrentSubpictureStream(Variant::fromInt32(0)));
        QCOMPARE(dvd->CurrentSubpictureStream().toInt32(), 3);

        // Off hides them and keeps the choice for the next time they are on.
        dvd->setSubpictureOn(Variant::fromBool(false));
        QCOMPARE(dvd->SubpictureOn().toBool(), false);
        QTRY_COMPARE_WITH_TIMEOUT(libvlc_video_get_spu(dvd->player()), -1, 2000);
        QCOMPARE(dvd->CurrentSubpictureStream().toInt32(), 3);
        dvd->setSubpictureOn(Variant::fromBool(true));
        QTRY_COMPARE_WITH_TIMEOUT(libvlc_video_get_spu(dvd->player()), 0xBD22, 2000);
    }

    void muteSurvivesTitleChangeAndRestart()
    {
        open(discs() + QStringLiteral("/plain"));
        dvd->setMute(Variant::fromBool(true)); // before anything plays: remembered
        dvd->Play();
        QVERIFY(waitForStamp([](const Stamp &s) { return s.title == 1; }));
        QTRY_VERIFY_WITH_TIMEOUT(dvd->appliedMute() && dvd->appliedMuteTitle() == 1, 2000);
        dvd->PlayNextChapter();
        dvd->PlayNextChapter();
        QVERIFY(waitForStamp([](const Stamp &s) { return s.chapter == 3; }));
        dvd->PlayNextChapter();
        QVERIFY(waitForStamp([](const Stamp &s) { return s.title == 2; }));
        QTRY_VERIFY_WITH_TIMEOUT(dvd->appliedMute() && dvd->appliedMuteTitle() == 2, 2000);
        dvd->Stop();
        dvd->Play();
        QVERIFY(waitForStamp([](const Stamp &s) { return s.title == 1; }));
        QTRY_VERIFY_WITH_TIMEOUT(dvd->appliedMute() && dvd->appliedMuteTitle() == 1, 2000);
        dvd->setMute(Variant::fromBool(false));
        QVERIFY(!dvd->appliedMute());
    }

    void discFacts()
    {
        open(discs() + QStringLiteral("/plain"));
        // Before Play they describe the disc that Play would play.
        const QString id = dvd->DVDUniqueID().toString();
        QVERIFY2(QRegularExpression(QStringLiteral("^[0-9A-F]{16}$")).match(id).hasMatch(), qPrintable(id));
        QCOMPARE(dvd->CurrentDiscSide().toInt32(), 1);
        QVERIFY(dvd->DVDDirectory().toString().endsWith(QStringLiteral("VIDEO_TS")));
        QVERIFY(QFileInfo(dvd->DVDDirectory().toString() + QStringLiteral("/VIDEO_TS.IFO")).exists());
        // The image of the same disc has the same identifier; its VIDEO_TS is inside it.
        VlcPlaybackControl image(discs() + QStringLiteral("/plain.iso"));
        QCOMPARE(image.DVDUniqueID().toString(), id);
        QCOMPARE(image.DVDDirectory().toString(), QDir::cleanPath(discs() + QStringLiteral("/plain.iso/VIDEO_TS")));
        // Nothing plays yet.
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->CurrentTime());
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->Pause());
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->Stop());
    }

    // The broken discs of tst_disc, and a missing path: none may leave the engine playing.
    void badInput_data()
    {
        QTest::addColumn<QString>("disc");
        QTest::newRow("missing path") << corpus.path() + QStringLiteral("/missing");
        for (const testsupport::BadDisc &bad : corpus.entries())
            QTest::newRow(qPrintable(bad.name)) << bad.source.path;
    }
    void badInput()
    {
        QVERIFY2(corpusBuilt, qPrintable(corpusError));
        QFETCH(QString, disc);
        open(disc);
        bool failed = false;
        try {
            dvd->Play();
        } catch (const PlaybackError &e) {
            failed = true;
            QCOMPARE(e.operation(), QStringLiteral("Play"));
            QVERIFY(!e.reason().isEmpty());
        }
        if (!failed) {
            // Accepted at first: then playback stops on its own, without a hang.
            QTRY_VERIFY_WITH_TIMEOUT(!dvd->isPlaying(), 10000);
        }
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->CurrentTime());
    }

    void folderRemovedWhilePlaying()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/disc");
        QVERIFY(testsupport::copyTree(discs() + QStringLiteral("/plain"), path));
        open(path);
        dvd->Play();
        QVERIFY(waitForStamp([](const Stamp &s) { return s.title == 1 && s.frame > 5; }));
        QVERIFY(QDir(path).removeRecursively());
        dvd->PlayNextChapter();
        // Whatever libvlc still has buffered may play; the control answers every
        // call promptly and stops cleanly.
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 20; ++i) {
            QTest::qWait(100);
            try {
                dvd->CurrentTime();
            } catch (const PlaybackError &) {
            }
        }
        QVERIFY(clock.elapsed() < 5000);
        try {
            dvd->Stop();
        } catch (const PlaybackError &) {
        }
        QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->CurrentTime());
    }

    // The disc named on the command line is read before Play; what was read is
    // used only while the disc's files are unchanged, so a disc damaged or
    // replaced in the meantime is read again and refused.
    void readAheadOnlyWhileUnchanged_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("playable");
        QTest::newRow("unchanged") << "" << true;
        QTest::newRow("a VOB cut short") << "VTS_01_1.VOB" << false;
        QTest::newRow("the IFOs emptied") << "VIDEO_TS.IFO VIDEO_TS.BUP" << false;
    }
    void readAheadOnlyWhileUnchanged()
    {
        QFETCH(QString, change);
        QFETCH(bool, playable);
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/disc");
        QVERIFY(testsupport::copyTree(discs() + QStringLiteral("/plain"), path));
        const auto source = playback::disc::sourceFromArgument(path);
        QVERIFY(source);
        open(path); // reads ahead as well
        playback::engine::FactsPrefetch ahead(*source);
        QTRY_VERIFY_WITH_TIMEOUT(ahead.factsFor(*source).has_value(), 10000);
        QTest::qWait(200);
        QVERIFY(!ahead.factsFor(testsupport::sampleSource(testsupport::SampleVariant::Plain,
                                                          playback::disc::SourceKind::Folder)));
        for (const QString &name : change.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            QFile file(path + QStringLiteral("/VIDEO_TS/") + name);
            QVERIFY(file.resize(name.endsWith(QLatin1String(".VOB")) ? file.size() - 2048 : 0));
        }
        QCOMPARE(ahead.factsFor(*source).has_value(), change.isEmpty());
        if (playable) {
            dvd->Play();
            QVERIFY(waitForStamp([](const Stamp &s) { return s.title == 1; }));
        } else {
            QVERIFY_THROWS_EXCEPTION(PlaybackError, dvd->Play());
        }
    }
};

QTEST_MAIN(EngineDiscsTest)
#include "tst_engine_discs.moc"
