// The command line: --help, --version, the one disc argument and the exit
// status 2 for anything the program cannot start with.
#include "playback/CommandLine.h"
#include "support/SampleDisc.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void parse_data();
    void parse();

private:
    QTemporaryDir m_tmp;
};

void TestCommandLine::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    QVERIFY(QDir().mkpath(m_tmp.path() + "/disc/VIDEO_TS"));
}

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");    // -1: the program goes on
    QTest::addColumn<QString>("out");   // text that standard output must contain
    QTest::addColumn<QString>("err");   // text that standard error must contain
    QTest::addColumn<QString>("disc");  // the disc the program goes on with
    QTest::addColumn<int>("kind");      // its kind, -1 for none
    const QString t = m_tmp.path();
    const int folder = int(playback::disc::SourceKind::Folder);
    const int image = int(playback::disc::SourceKind::Image);

    QTest::newRow("no arguments") << QStringList() << -1 << "" << "" << "" << -1;
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: orvanta-player [DISC]" << "" << "" << -1;
    QTest::newRow("help wins over a missing disc") << QStringList{"/nowhere", "--help"} << 0 << "Usage:" << "" << "" << -1;
    QTest::newRow("version") << QStringList{"--version"} << 0 << "Orvanta Player 2.0.0\n" << "" << "" << -1;
    QTest::newRow("folder") << QStringList{t + "/disc"} << -1 << "" << "" << t + "/disc" << folder;
    QTest::newRow("VIDEO_TS folder") << QStringList{t + "/disc/VIDEO_TS"} << -1 << "" << "" << t + "/disc/VIDEO_TS" << folder;
    QTest::newRow("image") << QStringList{testsupport::sampleImage(testsupport::SampleVariant::Plain)} << -1 << "" << ""
                           << testsupport::sampleImage(testsupport::SampleVariant::Plain) << image;
    QTest::newRow("disc after --") << QStringList{"--", t + "/disc"} << -1 << "" << "" << t + "/disc" << folder;
    QTest::newRow("missing path") << QStringList{t + "/missing"} << 2 << "" << "no such file, folder or device" << "" << -1;
    QTest::newRow("empty path") << QStringList{""} << 2 << "" << "no such file, folder or device" << "" << -1;
    QTest::newRow("two paths") << QStringList{t + "/disc", t + "/disc"} << 2 << "" << "one disc at most" << "" << -1;
    QTest::newRow("unknown option") << QStringList{"--fast"} << 2 << "" << "unknown option --fast" << "" << -1;
    QTest::newRow("option-like name after --") << QStringList{"--", "--fast"} << 2 << "" << "no such file" << "" << -1;
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QString, disc);
    QFETCH(int, kind);
    playback::CommandLine result;
    QString outText, errText;
    const std::optional<int> exitStatus = playback::parseCommandLine(args, result, outText, errText);
    QCOMPARE(exitStatus.value_or(-1), status);
    QVERIFY2(outText.contains(out), qPrintable(outText));
    QVERIFY2(errText.contains(err), qPrintable(errText));
    if (out.isEmpty())
        QVERIFY2(outText.isEmpty(), qPrintable(outText));
    if (err.isEmpty())
        QVERIFY2(errText.isEmpty(), qPrintable(errText));
    QCOMPARE(result.disc, disc);
    QCOMPARE(result.source ? int(result.source->kind) : -1, kind);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
