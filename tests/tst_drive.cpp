// The sample disc in the simulated optical drive (bench/drive): a block device
// over a FUSE image with a drive's costs. Needs root and /dev/fuse.
#include "support/PlayingDisc.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <dvdread/dvd_udf.h>
#include <unistd.h>

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
        drive({QStringLiteral("out"), m_dir.path()});
    }

    // A scratch 3 s into title 1 (24 s at a steady rate, chapters every 8 s):
    // play goes on just past it, in the same chapter, not at the next one.
    void scratchCostsSecondsNotAChapter()
    {
        const QString image = testsupport::sampleImage(SampleVariant::Plain);
        dvd_reader_t *disc = DVDOpen(image.toLocal8Bit().constData());
        std::uint32_t size = 0;
        const std::uint32_t at3s = disc ? UDFFindFile(disc, "/VIDEO_TS/VTS_01_1.VOB", &size) + size / 2048 / 8 : 0;
        DVDClose(disc);
        const QString options = QStringLiteral("fast --spin-up 0 --scratch %1-%2:300").arg(at3s).arg(at3s + 30);
        play(drive(QStringList{QStringLiteral("in"), image, m_dir.path()} + options.split(QLatin1Char(' '))));
        QVERIFY(size > 0 && waitFor([](const sampledisc::FrameStamp &s) { return s.frame >= 50; }, 20000));
        QVERIFY(waitFor([](const sampledisc::FrameStamp &s) { return s.frame > 90; }, 20000));
        QVERIFY2(onScreen()->frame < 200, "went on at the next chapter");
    }
};

QTEST_MAIN(DriveTest)
#include "tst_drive.moc"
