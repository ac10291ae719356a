// The stamp burned into the sample disc's pictures, read back from frames that
// ffmpeg decodes from the VOBs: at full size, scaled down, stretched and inside
// black borders, as a video widget may show them.
#include "support/SampleDisc.h"

#include <QBuffer>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

#include <functional>

using testsupport::FrameStamp;
using testsupport::SampleVariant;

namespace {

using Transform = std::function<QImage(const QImage &)>;

QImage scaled(const QImage &frame, int w, int h, Qt::TransformationMode mode)
{
    return frame.scaled(w, h, Qt::IgnoreAspectRatio, mode);
}

// The frame drawn into a black widget of the given size, kept at 4:3 and centred.
QImage inWidget(const QImage &frame, int w, int h)
{
    QImage widget(w, h, QImage::Format_RGB32);
    widget.fill(Qt::black);
    QSize picture = QSize(4, 3).scaled(w, h, Qt::KeepAspectRatio);
    QPainter p(&widget);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(QPoint((w - picture.width()) / 2, (h - picture.height()) / 2), picture), frame);
    return widget;
}

} // namespace

Q_DECLARE_METATYPE(Transform)

class TestFrameStamp : public QObject {
    Q_OBJECT

private slots:
    void readsConsecutiveFrames_data();
    void readsConsecutiveFrames();
    void refusesPicturesWithoutAValidStamp_data();
    void refusesPicturesWithoutAValidStamp();
};

void TestFrameStamp::readsConsecutiveFrames_data()
{
    QTest::addColumn<int>("title");
    QTest::addColumn<int>("first");
    QTest::addColumn<Transform>("transform");

    const Transform same = [](const QImage &f) { return f; };
    const Transform small = [](const QImage &f) { return scaled(f, 320, 256, Qt::SmoothTransformation); };
    const Transform smallFast = [](const QImage &f) { return scaled(f, 320, 256, Qt::FastTransformation); };
    const Transform squarePixels = [](const QImage &f) { return scaled(f, 768, 576, Qt::SmoothTransformation); };
    const Transform wide = [](const QImage &f) { return inWidget(f, 1280, 720); };
    const Transform tall = [](const QImage &f) { return inWidget(f, 500, 700); };
    const Transform smallWidget = [](const QImage &f) { return inWidget(f, 400, 260); };
    const Transform jpeg = [](const QImage &f) {
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        f.save(&buffer, "JPG", 30);
        return QImage::fromData(data, "JPG");
    };

    QTest::newRow("title 1 start, full size") << 1 << 0 << same;
    QTest::newRow("title 1 start, 320x256") << 1 << 0 << small;
    QTest::newRow("title 1 chapter 2, 320x256 unfiltered") << 1 << 195 << smallFast;
    QTest::newRow("title 1 chapter 3, square pixels") << 1 << 398 << squarePixels;
    QTest::newRow("title 1 end, pillarbox in 1280x720") << 1 << 590 << wide;
    QTest::newRow("title 2 start, letterbox in 500x700") << 2 << 0 << tall;
    QTest::newRow("title 2 chapter 2, small widget") << 2 << 97 << smallWidget;
    QTest::newRow("title 2, JPEG quality 30") << 2 << 230 << jpeg;
}

void TestFrameStamp::readsConsecutiveFrames()
{
    ORVANTA_REQUIRE_SAMPLE_DISC();
    QFETCH(int, title);
    QFETCH(int, first);
    QFETCH(Transform, transform);
    const testsupport::SampleTitle &facts = testsupport::sampleTitles().at(title - 1);
    const int count = std::min(10, facts.frames - first);
    QString error;
    const QList<QImage> frames = testsupport::decodeVobFrames(
        testsupport::sampleVideoTs(SampleVariant::Plain) + QLatin1Char('/') + facts.vob, first, count, &error);
    QVERIFY2(frames.size() == count, qPrintable(error));
    for (int i = 0; i < count; ++i) {
        const std::optional<FrameStamp> stamp = testsupport::readFrameStamp(transform(frames[i]));
        QVERIFY2(stamp, qPrintable(QStringLiteral("no stamp in frame %1").arg(first + i)));
        QCOMPARE(stamp->frame, first + i);
        QCOMPARE(stamp->title, title);
        int chapter = 0;
        for (int start : facts.chapterStartFrames)
            chapter += first + i >= start ? 1 : 0;
        QCOMPARE(stamp->chapter, chapter);
    }
}

void TestFrameStamp::refusesPicturesWithoutAValidStamp_data()
{
    QTest::addColumn<Transform>("damage");
    // Cell centres in the 720x576 frame, as scripts/make-sample-disc draws them.
    const auto cell = [](int column, int row) { return QRect(56 + column * 32, row == 0 ? 16 : 56, 32, 32); };
    const auto paint = [](const QImage &f, QRect r, QColor c) {
        QImage out = f;
        QPainter(&out).fillRect(r, c);
        return out;
    };

    QTest::newRow("black") << Transform([](const QImage &f) {
        QImage out(f.size(), QImage::Format_RGB32);
        out.fill(Qt::black);
        return out;
    });
    QTest::newRow("white") << Transform([](const QImage &f) {
        QImage out(f.size(), QImage::Format_RGB32);
        out.fill(Qt::white);
        return out;
    });
    QTest::newRow("noise") << Transform([](const QImage &f) {
        QImage out(f.size(), QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                out.setPixel(x, y, random.generate() | 0xff000000u);
        return out;
    });
    QTest::newRow("null image") << Transform([](const QImage &) { return QImage(); });
    QTest::newRow("tiny") << Transform([](const QImage &f) { return scaled(f, 120, 96, Qt::SmoothTransformation); });
    QTest::newRow("frame bit flipped") << Transform([=](const QImage &f) {
        // Frame 5: bit 0 is set, so its cell (column 17) is white.
        return paint(f, cell(17, 0), Qt::black);
    });
    QTest::newRow("title bit flipped") << Transform([=](const QImage &f) { return paint(f, cell(5, 1), Qt::black); });
    QTest::newRow("cell greyed") << Transform([=](const QImage &f) { return paint(f, cell(9, 0), QColor(128, 128, 128)); });
    QTest::newRow("start marker wrong") << Transform([=](const QImage &f) {
        // Swapping both markers keeps the parity but not the start pattern.
        return paint(paint(f, cell(0, 0), Qt::black), cell(1, 0), Qt::white);
    });
    QTest::newRow("top cut off") << Transform([](const QImage &f) { return f.copy(0, 40, f.width(), f.height() - 40); });
    QTest::newRow("no grey band") << Transform([=](const QImage &f) {
        QImage out = paint(f, QRect(0, 0, 56, 96), Qt::black);
        return paint(out, QRect(664, 0, 56, 96), Qt::black);
    });
}

void TestFrameStamp::refusesPicturesWithoutAValidStamp()
{
    ORVANTA_REQUIRE_SAMPLE_DISC();
    QFETCH(Transform, damage);
    QString error;
    static const QList<QImage> frames = testsupport::decodeVobFrames(
        testsupport::sampleVideoTs(SampleVariant::Plain) + QLatin1Char('/') + testsupport::sampleTitles().at(0).vob, 5, 1,
        &error);
    QVERIFY2(frames.size() == 1, qPrintable(error.isEmpty() ? QStringLiteral("frame 5 could not be decoded") : error));
    // The undamaged frame reads, so a refusal below comes from the damage.
    QVERIFY(testsupport::readFrameStamp(frames[0]));
    const std::optional<FrameStamp> stamp = testsupport::readFrameStamp(damage(frames[0]));
    QVERIFY2(!stamp, qPrintable(QStringLiteral("read frame %1 title %2").arg(stamp ? stamp->frame : 0).arg(stamp ? stamp->title : 0)));
}

QTEST_MAIN(TestFrameStamp)
#include "tst_framestamp.moc"
