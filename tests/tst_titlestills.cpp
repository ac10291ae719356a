// Pictures decoded straight from the sample disc for the reverse scan: the
// picture asked for by time must be the one whose stamp says that frame, from
// the folder and from the image, in any order (GOP starts, open-GOP B-pictures,
// the last picture, backwards across chapters and titles). Past damage, play
// goes on at the first VOBU that reads again.

#include "playback/engine/TitleStills.h"
#include "support/SampleDisc.h"

#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cstring>

using namespace playback::engine;
using testsupport::SampleVariant;

Q_DECLARE_METATYPE(playback::disc::SourceKind)

class TitleStillsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ORVANTA_REQUIRE_SAMPLE_DISC(); }

    void pictureAtTime_data()
    {
        QTest::addColumn<playback::disc::SourceKind>("kind");
        QTest::addColumn<int>("title");
        QTest::addColumn<QList<int>>("frames"); // asked for in this order
        const int last1 = 24 * 25 - 1, last2 = 10 * 25 - 1; // the sample disc's titles are 24 and 10 s
        for (auto kind : {playback::disc::SourceKind::Folder, playback::disc::SourceKind::Image}) {
            const char *name = kind == playback::disc::SourceKind::Folder ? "folder" : "image";
            // Backwards frame by frame over three GOP boundaries, then jumps.
            QList<int> backwards;
            for (int f = 425; f >= 395; --f)
                backwards << f;
            QTest::addRow("%s title 1 backwards", name) << kind << 1 << backwards;
            QTest::addRow("%s title 1 jumps", name) << kind << 1 << QList<int>{0, last1, 1, 250, 249, 11, 10, 9, last1 - 1};
            QTest::addRow("%s title 2", name) << kind << 2 << QList<int>{last2, 100, 0, 37};
        }
    }
    void pictureAtTime()
    {
        QFETCH(playback::disc::SourceKind, kind);
        QFETCH(int, title);
        QFETCH(QList<int>, frames);
        TitleStills stills(testsupport::sampleSource(SampleVariant::Plain, kind).path, title);
        QVERIFY(stills.isValid());
        for (int frame : frames) {
            // Halfway into the frame's 40 ms: the picture shown then.
            const auto still = stills.pictureAt(std::int64_t(frame) * 40 + 20);
            QVERIFY2(still, qPrintable(QString::number(frame)));
            QCOMPARE(still->ms, std::int64_t(frame) * 40);
            const auto stamp = sampledisc::readFrameStamp(still->image);
            QVERIFY2(stamp, qPrintable(QString::number(frame)));
            QCOMPARE(stamp->title, title);
            QCOMPARE(stamp->frame, frame);
        }
    }

    // Title 1's VOBUs that start in [from, to) ms are zeroed; where play goes on
    // after damage met at askedAt: the first VOBU at or after `to`, -1 for none.
    void firstReadableAfterDamage_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("askedAt");
        QTest::addColumn<int>("expected");
        QTest::newRow("a scratch") << 3000 << 5000 << 2900 << 5200; // VOBUs start every 400 ms
        QTest::newRow("a long one") << 3000 << 15000 << 2900 << 15200;
        QTest::newRow("up to the end") << 20000 << 99999 << 19900 << -1;
        QTest::newRow("it reads now") << 0 << 0 << 2900 << 3200;
    }
    void firstReadableAfterDamage()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, askedAt);
        QFETCH(int, expected);
        QTemporaryDir dir;
        const QString disc = dir.path() + QStringLiteral("/disc");
        QVERIFY(testsupport::copyTree(testsupport::sampleFolder(SampleVariant::Plain), disc));
        QFile vob(disc + QStringLiteral("/VIDEO_TS/VTS_01_1.VOB"));
        QVERIFY(vob.open(QIODevice::ReadWrite));
        QByteArray data = vob.readAll();
        const auto startMs = [&](qsizetype at) { return qFromBigEndian<quint32>(data.constData() + at + 0x39) / 90; };
        const std::int64_t base = startMs(0);
        bool zeroing = false;
        for (qsizetype at = 0; at + 2048 <= data.size(); at += 2048) {
            if (data.mid(at + 0x26, 4) == QByteArray("\0\0\1\xbf", 4)) // a VOBU's navigation pack
                zeroing = startMs(at) - base >= from && startMs(at) - base < to;
            if (zeroing)
                std::memset(data.data() + at, 0, 2048);
        }
        QVERIFY(vob.seek(0) && vob.write(data) == data.size());
        vob.close();
        TitleStills stills(disc, 1);
        QCOMPARE(stills.firstReadableAfter(askedAt).value_or(-1), std::int64_t(expected));
    }

    void outsideTheTitle()
    {
        TitleStills stills(testsupport::sampleSource(SampleVariant::Plain, playback::disc::SourceKind::Folder).path, 1);
        // Before the start: the first picture; past the end: the last one.
        QCOMPARE(sampledisc::readFrameStamp(stills.pictureAt(-500)->image)->frame, 0);
        QCOMPARE(sampledisc::readFrameStamp(stills.pictureAt(3600000)->image)->frame, 24 * 25 - 1);
        QVERIFY(!TitleStills(testsupport::sampleFolder(SampleVariant::Plain), 99).isValid());
        QVERIFY(!TitleStills(QStringLiteral("/nonexistent"), 1).isValid());
    }
};

QTEST_GUILESS_MAIN(TitleStillsTest)
#include "tst_titlestills.moc"
