// The command line: --help, --version, the one disc argument and the exit
// status 2 for anything the program cannot start with.
#include "playback/CommandLine.h"
#include "support/SampleDisc.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT
    QTemporaryDir m_tmp;

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        QVERIFY(QDir().mkpath(m_tmp.path() + "/disc/VIDEO_TS"));
        QVERIFY(QFile::link(m_tmp.path() + "/loop", m_tmp.path() + "/loop")); // a link to itself
    }

    void parse_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");   // -1: the program goes on
        QTest::addColumn<QString>("out");  // text standard output must contain; empty: no output
        QTest::addColumn<QString>("err");  // likewise for standard error
        QTest::addColumn<QString>("disc"); // the disc the program goes on with
        QTest::addColumn<int>("kind");     // its kind, -1 for none
        const QString t = m_tmp.path(), image = testsupport::sampleImage(testsupport::SampleVariant::Plain);
        const int folder = int(playback::disc::SourceKind::Folder);

        QTest::newRow("no arguments") << QStringList() << -1 << "" << "" << "" << -1;
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: orvanta-player [DISC]" << "" << "" << -1;
        QTest::newRow("help wins over a missing disc") << QStringList{"/nowhere", "--help"} << 0 << "Usage:" << "" << "" << -1;
        QTest::newRow("version") << QStringList{"--version"} << 0 << "Orvanta Player 2.0.0\n" << "" << "" << -1;
        QTest::newRow("folder") << QStringList{t + "/disc"} << -1 << "" << "" << t + "/disc" << folder;
        QTest::newRow("VIDEO_TS folder") << QStringList{t + "/disc/VIDEO_TS"} << -1 << "" << "" << t + "/disc/VIDEO_TS" << folder;
        QTest::newRow("image") << QStringList{image} << -1 << "" << "" << image << int(playback::disc::SourceKind::Image);
        QTest::newRow("disc after --") << QStringList{"--", t + "/disc"} << -1 << "" << "" << t + "/disc" << folder;
        QTest::newRow("missing path") << QStringList{t + "/missing"} << 2 << "" << "no such file, folder or device" << "" << -1;
        QTest::newRow("link loop") << QStringList{t + "/loop"} << 2 << "" << "loop: too many symbolic links" << "" << -1;
        QTest::newRow("path too long") << QStringList{t + "/" + QString(5000, 'a')} << 2 << "" << "the path is too long" << "" << -1;
        QTest::newRow("empty path") << QStringList{""} << 2 << "" << "no such file, folder or device" << "" << -1;
        QTest::newRow("two paths") << QStringList{t + "/disc", t + "/disc"} << 2 << "" << "one disc at most" << "" << -1;
        QTest::newRow("unknown option") << QStringList{"--fast"} << 2 << "" << "unknown option --fast" << "" << -1;
        QTest::newRow("option-like name after --") << QStringList{"--", "--fast"} << 2 << "" << "no such file" << "" << -1;
    }

    void parse()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(int, status);
        QFETCH(QString, disc);
        QFETCH(int, kind);
        playback::CommandLine result;
        QString outText, errText;
        QCOMPARE(playback::parseCommandLine(args, result, outText, errText).value_or(-1), status);
        for (const auto &[want, got] : {std::pair{out, outText}, std::pair{err, errText}})
            QVERIFY2(want.isEmpty() ? got.isEmpty() : got.contains(want), qPrintable(got));
        QCOMPARE(result.disc, disc);
        const auto source = result.disc.isEmpty() ? std::nullopt : playback::disc::sourceFromArgument(result.disc);
        QCOMPARE(source ? int(source->kind) : -1, kind);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
