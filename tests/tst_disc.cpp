// Finding and checking discs: sources from the command line, libdvdread facts
// on the sample disc and on broken discs, language names, video directories,
// the mount table and eject errors.
#include "playback/disc/Facts.h"
#include "playback/disc/FactsHelper.h"
#include "playback/disc/FactsProtocol.h"
#include "playback/disc/Language.h"
#include "support/SampleDisc.h"

#include <QCborMap>
#include <QCborValue>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace playback::disc;
using testsupport::SampleVariant;

Q_DECLARE_METATYPE(playback::disc::Source)
Q_DECLARE_METATYPE(testsupport::SampleVariant)

namespace {

bool touch(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
}

bool isId(const QString &id) { return QRegularExpression("^[0-9A-F]{16}$").match(id).hasMatch(); }

QString idOf(SampleVariant v)
{
    const std::optional<Facts> f = readFacts(testsupport::sampleSource(v, SourceKind::Folder));
    return f ? f->uniqueId : QString();
}

} // namespace

class TestDisc : public QObject {
    Q_OBJECT
    QTemporaryDir m_tmp;

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        const QString t = m_tmp.path();
        QVERIFY(QDir().mkpath(t + "/disc/VIDEO_TS") && touch(t + "/disc/VIDEO_TS/VIDEO_TS.IFO"));
        QVERIFY(QDir().mkpath(t + "/lower/video_ts") && QDir().mkpath(t + "/plain folder"));
        QVERIFY(touch(t + "/movie one.iso") && QFile::link(t + "/movie one.iso", t + "/link.iso"));
        QVERIFY(touch(t + "/notes.txt"));
    }

    void sourceFromArgument_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("kind"); // -1: no source
        QTest::addColumn<QString>("path");
        const QString t = m_tmp.path();
        const int folder = int(SourceKind::Folder), image = int(SourceKind::Image);
        QTest::newRow("folder holding VIDEO_TS") << t + "/disc" << folder << t + "/disc";
        QTest::newRow("VIDEO_TS itself") << t + "/disc/VIDEO_TS" << folder << t + "/disc";
        QTest::newRow("lower-case video_ts") << t + "/lower/video_ts" << folder << t + "/lower";
        QTest::newRow("VIDEO_TS.IFO") << t + "/disc/VIDEO_TS/VIDEO_TS.IFO" << folder << t + "/disc";
        QTest::newRow("folder without VIDEO_TS") << t + "/plain folder" << folder << t + "/plain folder";
        QTest::newRow("image with a space") << t + "/movie one.iso" << image << t + "/movie one.iso";
        QTest::newRow("symbolic link to an image") << t + "/link.iso" << image << t + "/link.iso";
        QTest::newRow("any other file is an image") << t + "/notes.txt" << image << t + "/notes.txt";
        QTest::newRow("relative path") << QDir::current().relativeFilePath(t + "/disc") << folder << t + "/disc";
        QTest::newRow("missing path") << t + "/nothing here" << -1 << QString();
        QTest::newRow("empty argument") << QString() << -1 << QString();
    }

    void sourceFromArgument()
    {
        QFETCH(QString, argument);
        QFETCH(int, kind);
        QFETCH(QString, path);
        const std::optional<Source> source = playback::disc::sourceFromArgument(argument);
        QCOMPARE(source ? int(source->kind) : -1, kind);
        QCOMPARE(source ? source->path : QString(), path);
    }

    void mrlKeepsThePath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("space") << "/media/my disc";
        QTest::newRow("hash and percent") << "/tmp/a#1%20b";
        QTest::newRow("non-ASCII") << QStringLiteral("/tmp/Fr\u00e9d\u00e9ric/\u65e5\u672c");
    }

    void mrlKeepsThePath()
    {
        QFETCH(QString, path);
        const QString mrl = Source{SourceKind::Folder, path}.mrl();
        QVERIFY2(mrl.startsWith("dvd:///"), qPrintable(mrl));
        // libvlc decodes what follows dvd:// as a file URI's path, so it must be plain escaped ASCII.
        const QString encoded = mrl.mid(6);
        QVERIFY2(QRegularExpression("^[!-~]*$").match(encoded).hasMatch() && !encoded.contains('#')
                     && !encoded.contains('?'),
                 qPrintable(mrl));
        QCOMPARE(QUrl::fromPercentEncoding(encoded.toLatin1()), path);
    }

    // The helper's answer reads back whole; nothing else reads at all: cut short,
    // of another version, or a field of another type or out of range.
    void helperAnswer_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QCborValue>("value");
        QTest::newRow("whole") << QString() << QCborValue();
        QTest::newRow("cut short") << "" << QCborValue();
        QTest::newRow("another version") << "version" << QCborValue(2);
        QTest::newRow("side as text") << "side" << QCborValue(QStringLiteral("1"));
        QTest::newRow("side 3") << "side" << QCborValue(3);
        QTest::newRow("no such problem") << "failure" << QCborValue(99);
        QTest::newRow("titles not a list") << "titles" << QCborValue(1);
    }
    void helperAnswer()
    {
        QFETCH(QString, field);
        QFETCH(QCborValue, value);
        playback::disc::FactsReading reading;
        reading.facts.titles = {{3, {"en", ""}, {0, 2}, {"de"}, Problem::None, 24000, {0, 8000, 16000}, {{4000, 8000, 4}, {16000, 24000, 255}}},
                                {1, {}, {}, {}, Problem::VideoDamaged, 0, {}, {}}};
        reading.facts.uniqueId = QStringLiteral("2664A04146EE3304");
        reading.facts.volumeName = QStringLiteral("DISC \u00e9t\u00e9");
        const QByteArray answer = playback::disc::encodeFacts(reading);
        QByteArray changed = field.isNull() ? answer : answer.chopped(1);
        if (!field.isEmpty()) {
            QCborMap map = QCborValue::fromCbor(answer).toMap();
            map[field] = value;
            changed = map.toCborValue().toCbor();
        }
        const std::optional<playback::disc::FactsReading> read = playback::disc::decodeFacts(changed);
        QCOMPARE(read.has_value(), field.isNull());
        if (read)
            QCOMPARE(playback::disc::encodeFacts(*read), answer);
    }

    void readFactsOnSampleDisc_data()
    {
        QTest::addColumn<Source>("source");
        QTest::addColumn<SampleVariant>("variant");
        using testsupport::sampleSource;
        QTest::newRow("plain folder") << sampleSource(SampleVariant::Plain, SourceKind::Folder) << SampleVariant::Plain;
        QTest::newRow("plain image") << sampleSource(SampleVariant::Plain, SourceKind::Image) << SampleVariant::Plain;
        QTest::newRow("menu image") << sampleSource(SampleVariant::Menu, SourceKind::Image) << SampleVariant::Menu;
        QTest::newRow("VIDEO_TS as the folder")
            << Source{SourceKind::Folder, testsupport::sampleVideoTs(SampleVariant::Plain)} << SampleVariant::Plain;
    }

    void readFactsOnSampleDisc()
    {
        ORVANTA_REQUIRE_SAMPLE_DISC();
        QFETCH(Source, source);
        QFETCH(SampleVariant, variant);
        playback::disc::Problem problem;
        const std::optional<Facts> facts = readFacts(source, &problem);
        QVERIFY2(facts && problem == playback::disc::Problem::None, qPrintable(describe(problem)));
        // As scripts/make-sample-disc makes it.
        QCOMPARE(int(facts->titles.size()), 2);
        QCOMPARE(facts->titles[0].chapters, 3);
        QCOMPARE(facts->titles[0].subpictureLanguageCodes, (QStringList{"en", "fr", "de"}));
        QCOMPARE(facts->titles[0].subpictureStreamIds, (std::vector<int>{0, 1, 2}));
        QCOMPARE(facts->titles[0].audioLanguageCodes, (QStringList{"en", "de"}));
        QCOMPARE(facts->titles[1].chapters, 2);
        QCOMPARE(facts->discSide, 1);
        // The same disc as a folder or an image is one disc; a disc with other IFOs is another.
        QVERIFY2(isId(facts->uniqueId), qPrintable(facts->uniqueId));
        QCOMPARE(facts->uniqueId, idOf(variant));
        QVERIFY(facts->uniqueId != idOf(variant == SampleVariant::Plain ? SampleVariant::Menu : SampleVariant::Plain));
    }

    void languageName_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("en") << "en" << "English";
        QTest::newRow("upper case") << "DE" << "German";
        QTest::newRow("639-2/T deu") << "deu" << "German";
        QTest::newRow("639-2/B ger") << "ger" << "German";
        // Withdrawn codes that discs still carry, and Norwegian's macrolanguage.
        QTest::newRow("iw") << "iw" << "Hebrew";
        QTest::newRow("in") << "in" << "Indonesian";
        QTest::newRow("ji") << "ji" << "Yiddish";
        QTest::newRow("jw") << "jw" << "Javanese";
        QTest::newRow("mo") << "mo" << "Romanian";
        QTest::newRow("sh") << "SH" << "Serbian";
        QTest::newRow("no") << "no" << "Norwegian Bokmal";
        QTest::newRow("unknown code kept") << "xx" << "xx";
        QTest::newRow("empty") << "" << "Unknown";
    }

    void languageName()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QCOMPARE(playback::disc::languageName(code), name);
    }

    void videoDirectory_data()
    {
        QTest::addColumn<Source>("source");
        QTest::addColumn<QString>("directory"); // empty: none
        const QString t = m_tmp.path();
        QTest::newRow("folder") << Source{SourceKind::Folder, t + "/disc"} << t + "/disc/VIDEO_TS";
        QTest::newRow("lower-case video_ts") << Source{SourceKind::Folder, t + "/lower"} << t + "/lower/video_ts";
        QTest::newRow("VIDEO_TS named itself") << Source{SourceKind::Folder, t + "/disc/VIDEO_TS"} << t + "/disc/VIDEO_TS";
        QTest::newRow("folder without VIDEO_TS") << Source{SourceKind::Folder, t + "/plain folder"} << QString();
        QTest::newRow("missing folder") << Source{SourceKind::Folder, t + "/missing"} << QString();
        // A folder inside the image, which the file list reads from it.
        QTest::newRow("image") << testsupport::sampleSource(SampleVariant::Plain, SourceKind::Image)
                               << QDir::cleanPath(testsupport::sampleImage(SampleVariant::Plain)) + "/VIDEO_TS";
        QTest::newRow("drive that is not mounted") << Source{SourceKind::Drive, t + "/not-a-drive"} << QString();
    }

    void videoDirectory()
    {
        QFETCH(Source, source);
        QFETCH(QString, directory);
        QCOMPARE(playback::disc::videoDirectory(source).value_or(QString()), directory);
    }

    void mountPointIn_data()
    {
        using Mounts = QList<std::pair<QString, QString>>;
        QTest::addColumn<Mounts>("mounts");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("mountPoint"); // empty: not mounted
        const QString target = m_tmp.path() + "/movie one.iso", link = m_tmp.path() + "/link.iso";
        const Mounts usual{{"sysfs", "/sys"}, {"/dev/vda1", "/"}, {"/dev/sr0", "/media/cdrom0"}, {"tmpfs", "/run"}};
        QTest::newRow("mounted") << usual << "/dev/sr0" << "/media/cdrom0";
        QTest::newRow("other device") << usual << "/dev/sr1" << QString();
        QTest::newRow("pseudo file systems are skipped") << usual << "tmpfs" << QString();
        QTest::newRow("later mount hides earlier") << Mounts{{"/dev/sr0", "/mnt/a"}, {"/dev/sr0", "/mnt/b"}} << "/dev/sr0"
                                                   << "/mnt/b";
        QTest::newRow("mounts name a link to the device") << Mounts{{link, "/mnt/linked"}} << target << "/mnt/linked";
        QTest::newRow("device given as a link") << Mounts{{target, "/mnt/direct"}} << link << "/mnt/direct";
    }

    void mountPointIn()
    {
        using Mounts = QList<std::pair<QString, QString>>;
        QFETCH(Mounts, mounts);
        QFETCH(QString, device);
        QFETCH(QString, mountPoint);
        QCOMPARE(detail::mountPointIn(mounts, device).value_or(QString()), mountPoint);
    }

    void ejectFailsWithPlainReason_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("reason");
        const QString t = m_tmp.path(), image = testsupport::sampleImage(SampleVariant::Plain);
        for (const QString &notADrive : {t + "/notes.txt", t + "/disc", QStringLiteral("/dev/null"), image})
            QTest::newRow(qPrintable(notADrive)) << notADrive << notADrive + " is not a disc drive.";
        QTest::newRow("missing device") << "/dev/sr97" << "there is no drive at /dev/sr97.";
    }

    void ejectFailsWithPlainReason()
    {
        QFETCH(QString, device);
        QFETCH(QString, reason);
        QCOMPARE(ejectDrive(device), std::optional(reason));
    }
};

QTEST_GUILESS_MAIN(TestDisc)
#include "tst_disc.moc"
