// Pictures decoded straight from the sample disc for the reverse scan: the
// picture asked for by time must be the one whose stamp says that frame, from
// the folder and from the image, in any order (GOP starts, open-GOP B-pictures,
// the last picture, backwards across chapters and titles).

#include "playback/engine/TitleStills.h"
#include "support/SampleDisc.h"

#include <QTest>

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
