// Finding and checking discs: sources from the command line, libdvdread facts
// on the sample disc and on broken discs, language names, video directories,
// the mount table and eject errors.
#include "playback/PlaybackControl.h"
#include "playback/disc/Disc.h"
#include "support/SampleDisc.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace playback::disc;
using testsupport::SampleVariant;

Q_DECLARE_METATYPE(std::optional<Source>)
Q_DECLARE_METATYPE(playback::disc::Source)

namespace {

bool touch(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
}

QString firstBlockDevice()
{
    for (const QFileInfo &entry : QDir(QStringLiteral("/dev")).entryInfoList(QDir::System | QDir::Files)) {
        const std::optional<Source> s = sourceFromArgument(entry.filePath());
        if (!entry.isSymLink() && s && s->kind == SourceKind::Drive)
            return entry.filePath();
    }
    return {};
}

} // namespace

class TestDisc : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void sourceFromArgument_data();
    void sourceFromArgument();
    void mrlKeepsThePath_data();
    void mrlKeepsThePath();

    void readFactsOnSampleDisc_data();
    void readFactsOnSampleDisc();
    void uniqueIdTellsDiscsApart();
    void readFactsRefusesBadDiscs_data();
    void readFactsRefusesBadDiscs();

    void readFactsSurvivesDamagedIfos_data();
    void readFactsSurvivesDamagedIfos();

    void languageName_data();
    void languageName();

    void videoDirectory_data();
    void videoDirectory();
    void mountPointIn_data();
    void mountPointIn();

    void ejectFailsWithPlainReason_data();
    void ejectFailsWithPlainReason();
    void opticalDrivesIn_data();
    void opticalDrivesIn();
    void foundDiscIsADriveWithFacts();

private:
    QTemporaryDir m_tmp;
    testsupport::BadDiscCorpus m_corpus;
    QString m_corpusError;
    bool m_corpusBuilt = false;
};

void TestDisc::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    const QString t = m_tmp.path();
    QVERIFY(QDir().mkpath(t + "/disc/VIDEO_TS"));
    QVERIFY(touch(t + "/disc/VIDEO_TS/VIDEO_TS.IFO"));
    QVERIFY(QDir().mkpath(t + "/lower/video_ts"));
    QVERIFY(QDir().mkpath(t + "/plain folder"));
    QVERIFY(touch(t + "/movie one.iso"));
    QVERIFY(QFile::link(t + "/movie one.iso", t + "/link.iso"));
    QVERIFY(touch(t + "/notes.txt"));
    m_corpusBuilt = m_corpus.build(&m_corpusError);
}

void TestDisc::sourceFromArgument_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("path");
    const QString t = m_tmp.path();
    const int folder = int(SourceKind::Folder), image = int(SourceKind::Image), drive = int(SourceKind::Drive);

    QTest::newRow("folder holding VIDEO_TS") << t + "/disc" << true << folder << t + "/disc";
    QTest::newRow("folder with a trailing slash") << t + "/disc/" << true << folder << t + "/disc";
    QTest::newRow("VIDEO_TS itself") << t + "/disc/VIDEO_TS" << true << folder << t + "/disc";
    QTest::newRow("lower-case video_ts") << t + "/lower/video_ts" << true << folder << t + "/lower";
    QTest::newRow("VIDEO_TS.IFO") << t + "/disc/VIDEO_TS/VIDEO_TS.IFO" << true << folder << t + "/disc";
    QTest::newRow("folder without VIDEO_TS") << t + "/plain folder" << true << folder << t + "/plain folder";
    QTest::newRow("image with a space") << t + "/movie one.iso" << true << image << t + "/movie one.iso";
    QTest::newRow("symbolic link to an image") << t + "/link.iso" << true << image << t + "/link.iso";
    QTest::newRow("any other file is an image") << t + "/notes.txt" << true << image << t + "/notes.txt";
    QTest::newRow("relative path") << QDir::current().relativeFilePath(t + "/disc") << true << folder << t + "/disc";
    QTest::newRow("sample disc folder") << testsupport::sampleFolder(SampleVariant::Plain) << true << folder
                                        << QDir::cleanPath(testsupport::sampleFolder(SampleVariant::Plain));
    QTest::newRow("missing path") << t + "/nothing here" << false << 0 << QString();
    QTest::newRow("empty argument") << QString() << false << 0 << QString();
    const QString device = firstBlockDevice();
    if (!device.isEmpty())
        QTest::newRow("block device") << device << true << drive << QFileInfo(device).canonicalFilePath();
}

void TestDisc::sourceFromArgument()
{
    QFETCH(QString, argument);
    QFETCH(bool, found);
    QFETCH(int, kind);
    QFETCH(QString, path);
    const std::optional<Source> source = playback::disc::sourceFromArgument(argument);
    QCOMPARE(source.has_value(), found);
    if (!found)
        return;
    QCOMPARE(int(source->kind), kind);
    QCOMPARE(source->path, path);
}

void TestDisc::mrlKeepsThePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << "/media/disc";
    QTest::newRow("space") << "/media/my disc";
    QTest::newRow("hash and percent") << "/tmp/a#1%20b";
    QTest::newRow("question mark and at") << "/tmp/what?@x";
    QTest::newRow("non-ASCII") << QStringLiteral("/tmp/Fr\u00e9d\u00e9ric/\u65e5\u672c");
}

void TestDisc::mrlKeepsThePath()
{
    QFETCH(QString, path);
    const QString mrl = Source{SourceKind::Folder, path}.mrl();
    QVERIFY2(mrl.startsWith("dvd:///"), qPrintable(mrl));
    // libvlc decodes what follows dvd:// as a file URI's path.
    const QString encoded = mrl.mid(6);
    QVERIFY2(!encoded.contains(' ') && !encoded.contains('#') && !encoded.contains('?'), qPrintable(mrl));
    for (QChar c : encoded)
        QVERIFY2(c.unicode() < 128, qPrintable(mrl));
    QCOMPARE(QUrl::fromPercentEncoding(encoded.toLatin1()), path);
}

void TestDisc::readFactsOnSampleDisc_data()
{
    QTest::addColumn<Source>("source");
    QTest::newRow("plain folder") << testsupport::sampleSource(SampleVariant::Plain, SourceKind::Folder);
    QTest::newRow("plain image") << testsupport::sampleSource(SampleVariant::Plain, SourceKind::Image);
    QTest::newRow("menu folder") << testsupport::sampleSource(SampleVariant::Menu, SourceKind::Folder);
    QTest::newRow("menu image") << testsupport::sampleSource(SampleVariant::Menu, SourceKind::Image);
    QTest::newRow("VIDEO_TS as the folder") << Source{SourceKind::Folder, testsupport::sampleVideoTs(SampleVariant::Plain)};
}

void TestDisc::readFactsOnSampleDisc()
{
    ORVANTA_REQUIRE_SAMPLE_DISC();
    QFETCH(Source, source);
    QString reason;
    const std::optional<Facts> facts = readFacts(source, &reason);
    QVERIFY2(facts, qPrintable(reason));
    const QList<testsupport::SampleTitle> &titles = testsupport::sampleTitles();
    QCOMPARE(int(facts->titles.size()), titles.size());
    for (int i = 0; i < titles.size(); ++i) {
        QCOMPARE(facts->titles[i].chapters, titles[i].chapterStartFrames.size());
        QCOMPARE(facts->titles[i].subpictureLanguageCodes, titles[i].subpictureLanguageCodes);
        QCOMPARE(facts->titles[i].audioLanguageCodes, titles[i].audioLanguageCodes);
    }
    QVERIFY2(QRegularExpression("^[0-9A-F]{16}$").match(facts->uniqueId).hasMatch(), qPrintable(facts->uniqueId));
    QCOMPARE(facts->discSide, 1);
}

void TestDisc::uniqueIdTellsDiscsApart()
{
    ORVANTA_REQUIRE_SAMPLE_DISC();
    const auto id = [](SampleVariant v, SourceKind k) {
        const std::optional<Facts> f = readFacts(testsupport::sampleSource(v, k));
        return f ? f->uniqueId : QString();
    };
    const QString plainFolder = id(SampleVariant::Plain, SourceKind::Folder);
    QVERIFY(!plainFolder.isEmpty());
    // The same disc as a folder and as an image is the same disc ...
    QCOMPARE(id(SampleVariant::Plain, SourceKind::Image), plainFolder);
    QCOMPARE(id(SampleVariant::Menu, SourceKind::Image), id(SampleVariant::Menu, SourceKind::Folder));
    // ... and a disc with other IFOs is another one.
    QVERIFY(id(SampleVariant::Menu, SourceKind::Folder) != plainFolder);
}

void TestDisc::readFactsRefusesBadDiscs_data()
{
    QTest::addColumn<Source>("source");
    QTest::newRow("missing path") << Source{SourceKind::Folder, m_tmp.path() + "/missing"};
    QTest::newRow("missing image") << Source{SourceKind::Image, m_tmp.path() + "/missing.iso"};
    QTest::newRow("empty path") << Source{SourceKind::Image, QString()};
    QTest::newRow("folder with an empty VIDEO_TS.IFO") << Source{SourceKind::Folder, m_tmp.path() + "/disc"};
    for (const testsupport::BadDisc &bad : m_corpus.entries())
        QTest::newRow(qPrintable(bad.name)) << bad.source;
}

void TestDisc::readFactsRefusesBadDiscs()
{
    QVERIFY2(m_corpusBuilt, qPrintable(m_corpusError));
    QVERIFY(m_corpus.entries().size() >= 11);
    QFETCH(Source, source);
    QString reason;
    QElapsedTimer timer;
    timer.start();
    const std::optional<Facts> facts = readFacts(source, &reason);
    QVERIFY2(!facts, qPrintable(QStringLiteral("%1 was taken for a playable disc").arg(source.path)));
    QVERIFY(!reason.isEmpty());
    QVERIFY2(reason.endsWith('.'), qPrintable(reason));
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));
}

void TestDisc::readFactsSurvivesDamagedIfos_data()
{
    QTest::addColumn<QString>("ifo");
    QTest::addColumn<quint32>("seed");
    const QStringList ifos = {"VIDEO_TS.IFO", "VTS_01_0.IFO", "VTS_02_0.IFO"};
    for (quint32 seed = 1; seed <= 24; ++seed)
        QTest::addRow("%s seed %u", qPrintable(ifos[seed % 3]), seed) << ifos[seed % 3] << seed;
}

void TestDisc::readFactsSurvivesDamagedIfos()
{
    ORVANTA_REQUIRE_SAMPLE_DISC();
    QFETCH(QString, ifo);
    QFETCH(quint32, seed);
    // The sample disc with a few bytes of one IFO (and its backup) overwritten;
    // the VOBs are links, to keep the copy small.
    QTemporaryDir disc;
    QVERIFY(disc.isValid());
    const QString from = testsupport::sampleVideoTs(SampleVariant::Plain);
    const QString to = disc.path() + "/VIDEO_TS";
    QVERIFY(QDir().mkpath(to));
    for (const QString &name : QDir(from).entryList(QDir::Files)) {
        if (name.endsWith(".VOB"))
            QVERIFY(QFile::link(from + '/' + name, to + '/' + name));
        else
            QVERIFY(QFile::copy(from + '/' + name, to + '/' + name));
    }
    QFile original(from + '/' + ifo);
    QVERIFY(original.open(QIODevice::ReadOnly));
    QByteArray damaged = original.readAll();
    QRandomGenerator random(seed);
    const int changes = 1 + random.bounded(20);
    for (int i = 0; i < changes; ++i)
        damaged[random.bounded(int(std::min<qsizetype>(damaged.size(), 4096)))] = char(random.bounded(256));
    for (const QString &name : {ifo, QString(ifo).replace(".IFO", ".BUP")}) {
        QFile f(to + '/' + name);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(damaged), damaged.size());
    }

    QString reason;
    const std::optional<Facts> facts = readFacts(Source{SourceKind::Folder, disc.path()}, &reason);
    if (!facts) {
        QVERIFY(reason.endsWith('.'));
        return;
    }
    // Damage that libdvdread reads past must still give facts of the usual shape.
    QVERIFY(!facts->titles.empty() && facts->titles.size() <= 99);
    for (const TitleFacts &t : facts->titles) {
        QVERIFY(t.chapters >= 0 && t.chapters <= 999);
        QVERIFY(t.subpictureLanguageCodes.size() <= 32 && t.audioLanguageCodes.size() <= 8);
        for (const QString &code : t.subpictureLanguageCodes + t.audioLanguageCodes)
            QVERIFY2(QRegularExpression("^([a-z]{2})?$").match(code).hasMatch(), qPrintable(code));
    }
    QVERIFY(QRegularExpression("^[0-9A-F]{16}$").match(facts->uniqueId).hasMatch());
    QVERIFY(facts->discSide == 1 || facts->discSide == 2);
}

void TestDisc::languageName_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("en") << "en" << "English";
    QTest::newRow("fr") << "fr" << "French";
    QTest::newRow("de") << "de" << "German";
    QTest::newRow("upper case") << "DE" << "German";
    QTest::newRow("639-2/T deu") << "deu" << "German";
    QTest::newRow("639-2/B ger") << "ger" << "German";
    QTest::newRow("639-2/B fre") << "fre" << "French";
    QTest::newRow("ja") << "ja" << "Japanese";
    QTest::newRow("unknown code kept") << "xx" << "xx";
    QTest::newRow("three unknown letters kept") << "qqq" << "qqq";
    QTest::newRow("empty") << "" << "Unknown";
    QTest::newRow("blank") << "  " << "Unknown";
}

void TestDisc::languageName()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QCOMPARE(playback::disc::languageName(code), name);
}

void TestDisc::videoDirectory_data()
{
    QTest::addColumn<Source>("source");
    QTest::addColumn<QString>("directory"); // empty: none
    const QString t = m_tmp.path();
    QTest::newRow("folder") << Source{SourceKind::Folder, t + "/disc"} << t + "/disc/VIDEO_TS";
    QTest::newRow("lower-case video_ts") << Source{SourceKind::Folder, t + "/lower"} << t + "/lower/video_ts";
    QTest::newRow("VIDEO_TS named itself") << Source{SourceKind::Folder, t + "/disc/VIDEO_TS"} << t + "/disc/VIDEO_TS";
    QTest::newRow("folder without VIDEO_TS") << Source{SourceKind::Folder, t + "/plain folder"} << QString();
    QTest::newRow("missing folder") << Source{SourceKind::Folder, t + "/missing"} << QString();
    QTest::newRow("sample folder") << testsupport::sampleSource(SampleVariant::Plain, SourceKind::Folder)
                                   << QDir::cleanPath(testsupport::sampleVideoTs(SampleVariant::Plain));
    QTest::newRow("image") << testsupport::sampleSource(SampleVariant::Plain, SourceKind::Image) << QString();
    QTest::newRow("drive that is not mounted") << Source{SourceKind::Drive, t + "/not-a-drive"} << QString();
}

void TestDisc::videoDirectory()
{
    QFETCH(Source, source);
    QFETCH(QString, directory);
    const std::optional<QString> found = playback::disc::videoDirectory(source);
    QCOMPARE(found.value_or(QString()), directory);
}

void TestDisc::mountPointIn_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("mountPoint"); // empty: not mounted
    const QString t = m_tmp.path();
    const QByteArray linkTarget = QFile::encodeName(t + "/movie one.iso");
    const QByteArray link = QFile::encodeName(t + "/link.iso");
    const QByteArray usual = "sysfs /sys sysfs rw,nosuid 0 0\n"
                             "/dev/vda1 / ext4 rw,relatime 0 0\n"
                             "/dev/sr0 /media/cdrom0 udf ro,nosuid,nodev 0 0\n"
                             "tmpfs /run tmpfs rw 0 0\n";
    QTest::newRow("mounted") << usual << "/dev/sr0" << "/media/cdrom0";
    QTest::newRow("other device") << usual << "/dev/sr1" << QString();
    QTest::newRow("pseudo file systems are skipped") << usual << "tmpfs" << QString();
    QTest::newRow("space, tab and backslash escaped")
        << QByteArray("/dev/sr0 /media/My\\040Disc\\011x\\134y udf ro 0 0\n") << "/dev/sr0" << "/media/My Disc\tx\\y";
    QTest::newRow("later mount hides earlier")
        << QByteArray("/dev/sr0 /mnt/a udf ro 0 0\n/dev/sr0 /mnt/b iso9660 ro 0 0\n") << "/dev/sr0" << "/mnt/b";
    QTest::newRow("table names a link to the device")
        << QByteArray(link + " /mnt/linked udf ro 0 0\n") << QString::fromLocal8Bit(linkTarget) << "/mnt/linked";
    QTest::newRow("device given as a link") << QByteArray(linkTarget).replace(" ", "\\040") + " /mnt/direct udf ro 0 0\n"
                                            << QString::fromLocal8Bit(link) << "/mnt/direct";
    QTest::newRow("empty table") << QByteArray() << "/dev/sr0" << QString();
    QTest::newRow("short lines") << QByteArray("/dev/sr0\n\n  \n") << "/dev/sr0" << QString();
}

void TestDisc::mountPointIn()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, device);
    QFETCH(QString, mountPoint);
    QCOMPARE(detail::mountPointIn(table, device).value_or(QString()), mountPoint);
}

void TestDisc::ejectFailsWithPlainReason_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("reason");
    const QString t = m_tmp.path();
    QTest::newRow("regular file") << t + "/notes.txt" << t + "/notes.txt is not a disc drive.";
    QTest::newRow("folder") << t + "/disc" << t + "/disc is not a disc drive.";
    QTest::newRow("character device") << "/dev/null" << "/dev/null is not a disc drive.";
    QTest::newRow("missing device") << "/dev/sr97" << "there is no drive at /dev/sr97.";
    QTest::newRow("image") << testsupport::sampleImage(SampleVariant::Plain)
                           << testsupport::sampleImage(SampleVariant::Plain) + " is not a disc drive.";
}

void TestDisc::ejectFailsWithPlainReason()
{
    QFETCH(QString, device);
    QFETCH(QString, reason);
    try {
        ejectDrive(device);
        QFAIL("ejectDrive succeeded on something that is not a drive");
    } catch (const playback::PlaybackError &e) {
        QCOMPARE(e.operation(), QStringLiteral("Eject"));
        QCOMPARE(e.reason(), reason);
    }
}

void TestDisc::opticalDrivesIn_data()
{
    // Entries of a device folder as "name=target" (a link) or "name" (a plain
    // file); the drives found, in order.
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("drives");
    QStringList blocks; // real block devices stand in for drives
    for (const QFileInfo &entry : QDir(QStringLiteral("/dev")).entryInfoList(QDir::System | QDir::Files, QDir::Name)) {
        const std::optional<Source> s = playback::disc::sourceFromArgument(entry.filePath());
        if (!entry.isSymLink() && s && s->kind == SourceKind::Drive && blocks.size() < 3)
            blocks << s->path;
    }
    QTest::newRow("empty folder") << QStringList() << QStringList();
    QTest::newRow("plain files and dangling links are no drives")
        << QStringList{"sr0", "sr1=/nonexistent/sr1", "dvd=" + m_tmp.path() + "/notes.txt"} << QStringList();
    if (blocks.size() < 3)
        return; // a machine without block devices offers no more rows
    const QString b0 = blocks[0], b1 = blocks[1], b2 = blocks[2];
    QTest::newRow("numeric order, duplicates once")
        << QStringList{"sr0=" + b0, "sr10=" + b1, "sr2=" + b2, "dvd=sr0", "cdrom=" + b0} << QStringList{b0, b2, b1};
    QTest::newRow("dvd and cdrom only") << QStringList{"dvd=" + b1, "cdrom=" + b2} << QStringList{b1, b2};
    QTest::newRow("mixed with a plain file") << QStringList{"sr0", "sr1=" + b2, "cdrom=" + b2} << QStringList{b2};
}

void TestDisc::opticalDrivesIn()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, drives);
    QTemporaryDir dev;
    QVERIFY(dev.isValid());
    for (const QString &entry : entries) {
        const QString name = entry.section('=', 0, 0);
        const QString target = entry.section('=', 1);
        QVERIFY(target.isEmpty() ? touch(dev.filePath(name)) : QFile::link(target, dev.filePath(name)));
    }
    QCOMPARE(detail::opticalDrivesIn(dev.path()), drives);
}

void TestDisc::foundDiscIsADriveWithFacts()
{
    // Whatever the machine holds, a found disc is a drive with readable facts.
    const std::optional<Source> found = findDiscInDrives();
    if (found) {
        QCOMPARE(found->kind, SourceKind::Drive);
        QVERIFY(opticalDrives().contains(found->path));
        QVERIFY(readFacts(*found));
    }
}

QTEST_GUILESS_MAIN(TestDisc)
#include "tst_disc.moc"
