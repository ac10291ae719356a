// The sample disc in the simulated optical drive (bench/drive): a block device
// over a FUSE image with a drive's costs. Needs root and /dev/fuse. A fake
// UDisks2 on the test's own bus tells of the drive's disc going in and out.
#include "support/PlayingDisc.h"

#include "playback/engine/PlayerReaper.h"
#include "playback/engine/TitleStills.h"
#include "playback/engine/VlcPlaybackControl.h"
#include "support/FakeBus.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <dvdread/dvd_udf.h>
#include <unistd.h>

using playback::engine::VlcPlaybackControl;
using testsupport::SampleVariant;

class DriveTest : public QObject, protected testsupport::PlayingDisc {
    Q_OBJECT
    QTemporaryDir m_dir;

    // bench/drive/drive's answer (the device, for "in"), empty when it failed.
    QString drive(const QStringList &arguments)
    {
        QProcess drive;
        drive.start(QStringLiteral(ORVANTA_DRIVE_SCRIPT), arguments);
        drive.waitForFinished(20000);
        return drive.exitCode() == 0 ? QString::fromLocal8Bit(drive.readAllStandardOutput()).trimmed() : QString();
    }

private slots:
    void initTestCase()
    {
        ORVANTA_REQUIRE_SAMPLE_DISC();
        qputenv("SIMDRIVE", ORVANTA_SIMDRIVE);
        if (geteuid() != 0 || !QFile::exists(QStringLiteral("/dev/fuse")))
            QSKIP("the simulated drive needs root and /dev/fuse");
    }
    void cleanup()
    {
        dvd.reset();
        playback::engine::reaper::waitForAll(); // the players and readings let go of the disc
        drive({QStringLiteral("out"), m_dir.path()});
    }

    // A disc that takes seconds to spin up: Play and the disc's readings answer at
    // once, Stop before the disc has been read keeps it from playing, and Play
    // goes on once it has been.
    void playDoesNotWaitForTheDrive()
    {
        const QString image = testsupport::sampleImage(SampleVariant::Plain);
        dvd = std::make_unique<VlcPlaybackControl>(drive({QStringLiteral("in"), image, m_dir.path(), QStringLiteral("slow"), QStringLiteral("--spin-up"), QStringLiteral("1000")}));
        QSignalSpy started(dvd.get(), &VlcPlaybackControl::playStarted), read(dvd.get(), &VlcPlaybackControl::discChanged);
        dvd->Play();
        QVERIFY(dvd->isStarting());
        QVERIFY_THROWS_EXCEPTION(playback::PlaybackError, dvd->DVDUniqueID());
        dvd->Stop();
        QVERIFY(read.wait(15000));
        QVERIFY(started.isEmpty() && !dvd->isLoaded());
        QCOMPARE(dvd->DVDUniqueID().toString().size(), 16);
        dvd->Play();
        QVERIFY(!dvd->isStarting() || started.wait(15000));
        QCOMPARE(started.value(0).value(0).toString(), QString());
        QVERIFY(waitFor([](const sampledisc::FrameStamp &s) { return s.title == 1 && s.frame > 10; }, 10000));
    }

    // UDisks2 says the disc went out while it plays: play stops, saying so, and the
    // drive is read again; and again when a disc goes in.
    void discTakenOut()
    {
        const QString device = drive({QStringLiteral("in"), testsupport::sampleImage(SampleVariant::Plain), m_dir.path(), QStringLiteral("fast")});
        testsupport::FakeUDisks udisks(device);
        const testsupport::OnBus on(udisks, QStringLiteral("org.freedesktop.UDisks2"), {QStringLiteral("/org/freedesktop/UDisks2")});
        QVERIFY(on.registered());
        play(device);
        QVERIFY(waitFor([](const sampledisc::FrameStamp &s) { return s.frame > 10; }, 10000));
        QSignalSpy stopped(dvd.get(), &VlcPlaybackControl::playbackStopped), read(dvd.get(), &VlcPlaybackControl::discChanged);
        QVERIFY(on.send(udisks.mediaChanged(false)));
        QVERIFY(read.wait(10000));
        QCOMPARE(stopped.size(), 1);
        QCOMPARE(stopped.first().first().toString(), QStringLiteral("the disc was removed."));
        QVERIFY(!dvd->isLoaded());
        QVERIFY(on.send(udisks.mediaChanged(true)));
        QVERIFY(read.wait(10000));
        QCOMPARE(stopped.size(), 1);
    }

    // What the engine reads of a title for its timing stays where libvlc reads
    // at the title's start, inside the drive's 2 MB buffer: it never takes the
    // head away from libvlc for a seek.
    void timingReadsStayAtTheStart()
    {
        QTemporaryDir logDir;
        const QString log = logDir.filePath(QStringLiteral("reads"));
        const QString image = testsupport::sampleImage(SampleVariant::Plain);
        playback::engine::TitleStills stills(drive({QStringLiteral("in"), image, m_dir.path(), QStringLiteral("fast"), QStringLiteral("--log"), log}), 1);
        QVERIFY(stills.muxLeadMs());
        dvd_reader_t *disc = DVDOpen(image.toLocal8Bit().constData());
        std::uint32_t size = 0;
        const qint64 vobs = disc ? qint64(UDFFindFile(disc, "/VIDEO_TS/VTS_01_1.VOB", &size)) * 2048 : 0;
        DVDClose(disc);
        QFile reads(log);
        QVERIFY(vobs > 0 && reads.open(QIODevice::ReadOnly));
        for (const QByteArray &line : reads.readAll().split('\n'))
            QVERIFY2(line.isEmpty() || line.split(' ').value(0).toLongLong() < vobs + (2 << 20), line.constData());
    }

    // A scratch 1.5 s into title 1 (24 s at a steady rate, chapters every 8 s):
    // play goes on just past it, in the same chapter, not at the next one.
    void scratchCostsSecondsNotAChapter()
    {
        const QString image = testsupport::sampleImage(SampleVariant::Plain);
        dvd_reader_t *disc = DVDOpen(image.toLocal8Bit().constData());
        std::uint32_t size = 0;
        const std::uint32_t at = disc ? UDFFindFile(disc, "/VIDEO_TS/VTS_01_1.VOB", &size) + size / 2048 / 16 : 0;
        DVDClose(disc);
        const QString options = QStringLiteral("fast --spin-up 0 --scratch %1-%2:100").arg(at).arg(at + 30);
        play(drive(QStringList{QStringLiteral("in"), image, m_dir.path()} + options.split(QLatin1Char(' '))));
        QVERIFY(size > 0 && waitFor([](const sampledisc::FrameStamp &s) { return s.frame >= 12; }, 20000));
        QVERIFY(waitFor([](const sampledisc::FrameStamp &s) { return s.frame > 55; }, 20000));
        QVERIFY2(onScreen()->frame < 200, "went on at the next chapter");
    }
};

QTEST_MAIN(DriveTest)
#include "tst_drive.moc"
