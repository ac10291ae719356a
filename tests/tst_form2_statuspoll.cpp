// The status poll: position fields, progress bar pixels, chapter or title
// caption, subtitle language table and total time, also when texts are short,
// values unconvertible or reads fail.
#include "app/ClickableLabel.h"
#include "app/Form.h"
#include "app/PictureBox.h"
#include "app/Twips.h"
#include "startup/Module1.h"
#include "support/FakeDvd.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"

#include <QLabel>
#include <QTest>


using playback::Variant;

namespace {

const QRgb kRed = qRgb(200, 0, 0);
const QRgb kBlack = qRgb(0, 0, 0);

// The bar is wider than the panel that holds it: the scale spans what shows.
int visibleWidth(const Form2 &form) { return form.Progres->parentWidget()->width() - form.Progres->x(); }

// Red from the left edge to position / scale of the visible width, black from
// (position + 1) / scale onwards, over the full height; a pixel of rounding
// is allowed at each boundary. The second between keeps what was there: red,
// after moving back.
void verifyBar(const QImage &bar, double position, double scale, int w)
{
    QVERIFY(!bar.isNull());
    const double redEnd = position / scale * w;
    const double blackStart = (position + 1) / scale * w;
    for (int y : {0, bar.height() / 2, bar.height() - 1}) {
        for (int x = 0; x < w; ++x) {
            const QRgb p = bar.pixel(x, y) & 0xffffff;
            if (x + 2 <= redEnd)
                QVERIFY2(p == (kRed & 0xffffff), qPrintable(QStringLiteral("column %1 of %2 not red").arg(x).arg(w)));
            else if (x >= blackStart + 1)
                QVERIFY2(p == (kBlack & 0xffffff), qPrintable(QStringLiteral("column %1 of %2 not black").arg(x).arg(w)));
            else if (blackStart - redEnd >= 4 && x == int((redEnd + blackStart) / 2))
                QVERIFY2(p != (kBlack & 0xffffff), qPrintable(QStringLiteral("column %1 of %2 black").arg(x).arg(w)));
        }
    }
}

QStringList positionLabels(const Form2 &form)
{
    return {form.Label1[0]->text(), form.Label1[1]->text(), form.Label1[2]->text()};
}

} // namespace

class Form2StatusPollTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { windowtest::setUp(); }
    void init() { windowtest::reset(); }
    void cleanupTestCase() { windowtest::reset(); }

    void time_data();
    void time();
    void chapterOrTitle_data();
    void chapterOrTitle();
    void subtitleTable_data();
    void subtitleTable();
};

void Form2StatusPollTest::time_data()
{
    QTest::addColumn<QStringList>("earlier");   // position and total of an earlier tick, if any
    QTest::addColumn<QString>("position");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QStringList>("labels");    // Label1(0..2) afterwards; they read 77 before
    QTest::addColumn<QString>("totalCaption");  // Label3 afterwards; it reads --:--:-- before
    QTest::addColumn<double>("scale");          // 0: the indicator's twips scale from its width
    QTest::addColumn<double>("seconds");        // where the red bar ends, in scale units

    using L = QStringList;
    const L kept{"77", "77", "77"};
    const QString five = QStringLiteral("00:05:00:00");
    const L m1s15{"00", "01", "15"};

    QTest::newRow("hour and more") << L{} << "01:23:45:12" << "01:52:07:21" << L{"01", "23", "45"} << "01:52:07"
                                   << 6727.0 << 5025.0;
    QTest::newRow("a quarter") << L{} << "00:01:15:12" << five << m1s15 << "00:05:00" << 300.0 << 75.0;
    QTest::newRow("nine-character position") << L{} << "00:01:15:" << five << kept << "00:05:00" << 1.0 << 1.0;
    QTest::newRow("nine-character total") << L{} << "00:01:15:12" << "00:05:00:" << kept << "00:05:00" << 1.0 << 1.0;
    QTest::newRow("no disc") << L{} << "fail" << "fail" << kept << "--:--:--" << 1.0 << 1.0;
    QTest::newRow("one-digit hour") << L{} << "1:02:03:04" << five << L{"1:", "2:", "3:"} << "00:05:00" << 300.0
                                    << 0.0;
    QTest::newRow("blanks around digits") << L{} << " 0: 1: 5:00" << five << L{" 0", " 1", " 5"} << "00:05:00"
                                          << 300.0 << 65.0;
    QTest::newRow("unreadable total keeps the twips scale")
        << L{} << "00:01:15:12" << "1:02:03:04" << m1s15 << "1:02:03:" << 0.0 << 75.0;
    QTest::newRow("zero total keeps the earlier scale") << L{"00:01:00:00", five} << "00:02:30:00" << "00:00:00:00"
                                                        << L{"00", "02", "30"} << "00:00:00" << 300.0 << 150.0;
    QTest::newRow("position beyond total") << L{} << "00:10:00:00" << five << L{"00", "10", "00"} << "00:05:00"
                                           << 300.0 << 600.0;
    QTest::newRow("ten seconds, moved back") << L{"00:00:08:00", "00:00:10:00"} << "00:00:04:00" << "00:00:10:00" << L{"00", "00", "04"} << "00:00:10"
                                 << 10.0 << 4.0;

    // The caption shows the total of the second read, the scale that of the first.
    QTest::newRow("total changes between reads") << L{} << "00:01:15:00" << "00:05:00:00|01:00:00:00" << m1s15
                                                 << "01:00:00" << 300.0 << 75.0;
}

void Form2StatusPollTest::time()
{
    QFETCH(QStringList, earlier);
    QFETCH(QString, position);
    QFETCH(QString, total);
    QFETCH(QStringList, labels);
    QFETCH(QString, totalCaption);
    QFETCH(double, scale);
    QFETCH(double, seconds);

    Form2 &form = windowtest::showControlWindow();
    FakeDvd *fd = FakeDvd::current();
    const auto tick = [&](const QString &at, const QString &of) {
        fd->script(QStringLiteral("CurrentTime"), at);
        fd->script(QStringLiteral("TotalTitleTime"), of);
        form.Timer1_Timer();
    };
    if (!earlier.isEmpty())
        tick(earlier[0], earlier[1]);
    for (QLabel *l : form.Label1)
        l->setText(QStringLiteral("77"));
    form.Label3->setText(QStringLiteral("--:--:--"));
    tick(position, total);

    QCOMPARE(positionLabels(form), labels);
    QCOMPARE(form.Label3->text(), totalCaption);
    if (scale == 0.0)
        scale = app::pixelsToTwips(visibleWidth(form));
    QCOMPARE(form.Progres->scaleWidth(), float(scale));
    verifyBar(form.Progres->image(), seconds, scale, visibleWidth(form));
    QVERIFY(windowtest::msgBoxes().isEmpty());
    // Nothing outside the status display is touched.
    QCOMPARE((QList<bool>{form.Speed->text() == "x1", form.Subs->isVisible(), form.Image14->isVisible(),
                          form.Image11->isVisible()}),
             (QList<bool>{true, false, true, false}));
}

void Form2StatusPollTest::chapterOrTitle_data()
{
    QTest::addColumn<QString>("titles");       // CurrentTitle answers, as FakeDvd::script takes them
    QTest::addColumn<QString>("chapter");
    QTest::addColumn<QString>("caption");      // Chap afterwards; it reads "before" ahead of the tick

    QTest::newRow("title 1, chapter 12") << "1" << "12" << "Chapter 12";
    QTest::newRow("title 4") << "4" << "12" << "Title 3";
    QTest::newRow("title 0") << "0" << "12" << "Title -1";
    QTest::newRow("title read fails") << "fail" << "5" << "Chapter 5";
    QTest::newRow("chapter read fails") << "1" << "fail" << "before";
    QTest::newRow("lowest title overflows") << "-2147483648" << "5" << "before";
    // The title may change between the reads of one tick.
    QTest::newRow("title becomes 1 after the first test") << "2|1|1" << "7" << "Chapter 7";
    QTest::newRow("title becomes 2 after the first test") << "1|2" << "7" << "before";
}

void Form2StatusPollTest::chapterOrTitle()
{
    QFETCH(QString, titles);
    QFETCH(QString, chapter);
    QFETCH(QString, caption);

    Form2 &form = windowtest::showControlWindow();
    FakeDvd *fd = FakeDvd::current();
    form.Chap->setText(QStringLiteral("before"));
    fd->script(QStringLiteral("CurrentTitle"), titles);
    fd->script(QStringLiteral("CurrentChapter"), chapter);

    form.Timer1_Timer();

    QCOMPARE(form.Chap->text(), caption);
}

void Form2StatusPollTest::subtitleTable_data()
{
    QTest::addColumn<int>("previousCount");
    QTest::addColumn<QString>("available");      // SubpictureStreamsAvailable; "fail" refuses
    QTest::addColumn<QList<int>>("noLanguage");  // streams whose language read fails
    QTest::addColumn<int>("count");              // SubtitleStreamCount afterwards
    QTest::addColumn<int>("lastNew");            // entries 1..lastNew hold the new names, the rest the old

    const QList<int> all;
    QTest::newRow("three after five") << 5 << "3" << all << 3 << 3;
    QTest::newRow("sixty") << 0 << "60" << all << 60 << 50;
    QTest::newRow("40000 keeps the count") << 2 << "40000" << all << 2 << 2;
    QTest::newRow("read fails") << 4 << "fail" << all << 4 << 4;
    QTest::newRow("one language fails") << 0 << "3" << QList<int>{2} << 3 << 3;
}

void Form2StatusPollTest::subtitleTable()
{
    QFETCH(int, previousCount);
    QFETCH(QString, available);
    QFETCH(QList<int>, noLanguage);
    QFETCH(int, count);
    QFETCH(int, lastNew);

    Form2 &form = windowtest::showControlWindow();
    FakeDvd *fd = FakeDvd::current();
    for (int i = 1; i <= Module1::kSubtitleLanguagesUpper; ++i) {
        Module1::SubtitleLanguages[i] = QStringLiteral("old %1").arg(i);
        if (!noLanguage.contains(i))
            fd->language(i, QStringLiteral("new %1").arg(i));
    }
    Module1::SubtitleStreamCount = std::int16_t(previousCount);
    fd->script(QStringLiteral("SubpictureStreamsAvailable"), available);

    form.Timer1_Timer();

    QCOMPARE(int(Module1::SubtitleStreamCount), count);
    QVERIFY(Module1::SubtitleLanguages[0].isEmpty());
    for (int i = 1; i <= Module1::kSubtitleLanguagesUpper; ++i) {
        const bool fresh = i <= lastNew && !noLanguage.contains(i);
        QCOMPARE(Module1::SubtitleLanguages[i], QStringLiteral("%1 %2").arg(fresh ? "new" : "old").arg(i));
    }
}

QTEST_MAIN(Form2StatusPollTest)
#include "tst_form2_statuspoll.moc"
