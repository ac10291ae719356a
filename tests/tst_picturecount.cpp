// The count of pictures shown into memory, driven by scripted displays and
// times: how it steps, skips, stalls, takes anchors after seeks and title
// changes, and finds where a seek landed.
#include "playback/engine/PictureCount.h"

#include <QTest>

using playback::engine::PictureCount;

class PictureCountTest : public QObject {
    Q_OBJECT
private slots:
    void count_data()
    {
        // One step a word: "d<ms><hash>" a display at ms; "a<ms>@<t>" an armed anchor
        // asked for at t, "u<ms>@<t>" one not armed; "arm"; "r<rate>"; "s<ms>" the
        // picture on screen is at ms; "e<length>" the title runs out at length;
        // "x<hash>:<ms>" the seek may land on that picture; "restart".
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("position");
        QTest::newRow("a frame a picture") << "d0A d40B d80C" << 80;
        QTest::newRow("a late picture counts those skipped") << "d0A d40B d120C" << 120;
        QTest::newRow("a late picture at 60 ms is one frame") << "d0A d40B d100C" << 80;
        QTest::newRow("a stall is not a skip") << "d0A d40B d300C" << 80;
        QTest::newRow("a picture shown again is not counted") << "d0A d40A d80A d120B" << 40;
        QTest::newRow("x2: two frames a picture") << "r2 d0A d40B d80C" << 160;
        QTest::newRow("an armed anchor") << "d0A d40B a5000@50 d90C d130D" << 5040;
        QTest::newRow("an anchor waits to be armed") << "d0A u5000@10 d40B arm d80C" << 5000;
        QTest::newRow("an anchor not armed counts until armed") << "d0A u5000@10 d40B d80C" << 80;
        QTest::newRow("an anchor not armed holds after 400 ms") << "d0A u5000@10 d40B d450C" << 5000;
        QTest::newRow("a picture queued before the seek") << "d0A d40B a5000@45 d50C d300D" << 5000;
        QTest::newRow("the old title's last picture") << "d0A s960 e1000 d40B" << 0;
        QTest::newRow("the old title plays on") << "d0A s500 e1000 d40B" << 540;
        QTest::newRow("a title held up at its start") << "d0A s500 e1000 d300B" << 0;
        QTest::newRow("landing on an expected picture") << "d0A s5000 xH:5120 d40G d80H" << 5120;
        QTest::newRow("the landing picture came first") << "d0A d40H xH:5120" << 5120;
        QTest::newRow("after resuming, one frame") << "d0A d40B restart d500C" << 80;
    }
    void count()
    {
        QFETCH(QString, script);
        QFETCH(int, position);
        PictureCount count;
        const PictureCount::Clock::time_point start{std::chrono::hours(1)};
        const auto at = [&](const QString &ms) { return start + std::chrono::milliseconds(ms.toInt()); };
        for (const QString &step : script.split(QLatin1Char(' '))) {
            const QString rest = step.mid(1);
            if (step == QLatin1String("arm"))
                count.arm();
            else if (step == QLatin1String("restart"))
                count.restart();
            else if (step[0] == QLatin1Char('d'))
                count.displayed(rest.back().unicode(), at(rest.chopped(1)));
            else if (step[0] == QLatin1Char('a') || step[0] == QLatin1Char('u'))
                count.anchor(rest.section('@', 0, 0).toInt(), step[0] == QLatin1Char('a'), at(rest.section('@', 1)));
            else if (step[0] == QLatin1Char('r'))
                count.setRate(rest.toDouble());
            else if (step[0] == QLatin1Char('s'))
                count.setShownPosition(rest.toInt());
            else if (step[0] == QLatin1Char('e'))
                count.anchorAfterTitleEnd(rest.toInt(), 0);
            else if (step[0] == QLatin1Char('x'))
                count.expectOneOf({{rest[0].unicode(), rest.mid(2).toInt()}});
            else
                QFAIL(qPrintable(step));
        }
        QCOMPARE(count.position().value_or(-1), position);
    }
};

QTEST_APPLESS_MAIN(PictureCountTest)
#include "tst_picturecount.moc"
