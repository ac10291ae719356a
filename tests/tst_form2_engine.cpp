// orvanta-test: ENGINE
// The control window driving the real engine on the sample disc: its status
// display while playing, after chapter skips and in both trick-play
// directions. Title 1 is 24 s long with chapters at 0, 8 and 16 s.
#include "app/Form.h"
#include "app/PictureBox.h"
#include "playback/Engine.h"
#include "support/SampleDisc.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

namespace {

// The position the three large labels show, in seconds; -1 when they do not hold numbers.
int shownSeconds(const Form2 &form)
{
    bool okH = false, okM = false, okS = false;
    const int h = form.Label1[0]->text().toInt(&okH);
    const int m = form.Label1[1]->text().toInt(&okM);
    const int s = form.Label1[2]->text().toInt(&okS);
    return okH && okM && okS ? h * 3600 + m * 60 + s : -1;
}

} // namespace

class Form2EngineTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        ORVANTA_REQUIRE_SAMPLE_DISC();
        windowtest::setUp();
        playback::installPlaybackEngine(testsupport::sampleFolder(testsupport::SampleVariant::Plain));
    }
    void init() { windowtest::reset(); }
    void cleanupTestCase() { windowtest::reset(); }

    void playShowsTimeAndChapter();
    void fastForwardDoublesTheClock();
    void nextChapterThenFastBackwards();

private:
    // Plays from a real click; true once the display shows title 1 under way.
    static bool startPlaying(Form2 &form)
    {
        QTest::mouseClick(form.Command1, Qt::LeftButton);
        return windowtest::msgBoxes().isEmpty()
            && QTest::qWaitFor([&] { return form.Chap->text() == QLatin1String("Chapter 1"); }, 5000)
            && QTest::qWaitFor([&] { return shownSeconds(form) >= 1; }, 5000);
    }
};

void Form2EngineTest::playShowsTimeAndChapter()
{
    Form2 &form = app::Forms::show<Form2>();
    QVERIFY(startPlaying(form));
    QVERIFY(form.Image12->isVisible());
    QCOMPARE(form.Label3->text(), QStringLiteral("00:00:24"));
    const int first = shownSeconds(form);
    QTest::qWait(2500);
    const int later = shownSeconds(form);
    QVERIFY2(later - first >= 2 && later - first <= 3, qPrintable(QStringLiteral("%1 s then %2 s").arg(first).arg(later)));
    // The bar has begun: its first column is red.
    QCOMPARE(form.Progres->image().pixel(0, 0) & 0xffffff, qRgb(200, 0, 0) & 0xffffff);
}

void Form2EngineTest::fastForwardDoublesTheClock()
{
    Form2 &form = app::Forms::show<Form2>();
    QVERIFY(startPlaying(form));
    QTest::mouseClick(form.Command11, Qt::LeftButton);
    QCOMPARE(form.Speed->text(), QStringLiteral("x2"));
    QVERIFY(form.Image15->isVisible());
    QTest::qWait(700); // let the new speed settle on screen
    const int first = shownSeconds(form);
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(4000);
    const int later = shownSeconds(form);
    const double rate = (later - first) / (clock.elapsed() / 1000.0);
    QVERIFY2(rate > 1.6 && rate < 2.4,
             qPrintable(QStringLiteral("%1 s then %2 s: x%3").arg(first).arg(later).arg(rate)));
}

void Form2EngineTest::nextChapterThenFastBackwards()
{
    Form2 &form = app::Forms::show<Form2>();
    QVERIFY(startPlaying(form));
    QTest::mouseClick(form.Command3, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(form.Chap->text(), QStringLiteral("Chapter 2"), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(shownSeconds(form) >= 8, 1000);
    QTest::mouseClick(form.Command3, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(form.Chap->text(), QStringLiteral("Chapter 3"), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(shownSeconds(form) >= 17, 3000);
    QTest::mouseClick(form.Command12, Qt::LeftButton);
    QCOMPARE(form.Speed->text(), QStringLiteral("x8"));
    QVERIFY(form.Image16->isVisible());
    const int first = shownSeconds(form);
    QTRY_VERIFY_WITH_TIMEOUT(shownSeconds(form) <= first - 4, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(form.Chap->text() != QLatin1String("Chapter 3"), 2000);
}

QTEST_MAIN(Form2EngineTest)
#include "tst_form2_engine.moc"
