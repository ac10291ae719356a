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
using Transform = std::function<QImage(const QImage &)>;
Q_DECLARE_METATYPE(Transform)

namespace {

Transform scaled(int w, int h, Qt::TransformationMode mode = Qt::SmoothTransformation)
{
    return [=](const QImage &f) { return f.scaled(w, h, Qt::IgnoreAspectRatio, mode); };
}

// The frame drawn into a black widget of the given size, kept at 4:3 and centred.
Transform inWidget(int w, int h)
{
    return [=](const QImage &frame) {
        QImage widget(w, h, QImage::Format_RGB32);
        widget.fill(Qt::black);
        const QSize picture = QSize(4, 3).scaled(w, h, Qt::KeepAspectRatio);
        QPainter p(&widget);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRect(QPoint((w - picture.width()) / 2, (h - picture.height()) / 2), picture), frame);
        return widget;
    };
}

// Rectangles painted over the frame in the given colours.
Transform painted(const QList<std::pair<QRect, QColor>> &patches)
{
    return [=](const QImage &f) {
        QImage out = f;
        QPainter p(&out);
        for (const auto &[r, c] : patches)
            p.fillRect(r, c);
        return out;
    };
}

} // namespace

class TestFrameStamp : public QObject {
    Q_OBJECT

private slots:
    void readsConsecutiveFrames_data()
    {
        QTest::addColumn<int>("title");
        QTest::addColumn<int>("first");
        QTest::addColumn<Transform>("transform");
        QTest::newRow("title 1 start, full size") << 1 << 0 << Transform([](const QImage &f) { return f; });
        QTest::newRow("title 1 start, 320x256") << 1 << 0 << scaled(320, 256);
        QTest::newRow("title 1 chapter 2, 320x256 unfiltered") << 1 << 195 << scaled(320, 256, Qt::FastTransformation);
        QTest::newRow("title 1 chapter 3, square pixels") << 1 << 398 << scaled(768, 576);
        QTest::newRow("title 1 end, pillarbox in 1280x720") << 1 << 590 << inWidget(1280, 720);
        QTest::newRow("title 2 start, letterbox in 500x700") << 2 << 0 << inWidget(500, 700);
        QTest::newRow("title 2 chapter 2, small widget") << 2 << 97 << inWidget(400, 260);
        QTest::newRow("title 2, JPEG quality 30") << 2 << 230 << Transform([](const QImage &f) {
            QByteArray data;
            QBuffer buffer(&data);
            buffer.open(QIODevice::WriteOnly);
            f.save(&buffer, "JPG", 30);
            return QImage::fromData(data, "JPG");
        });
    }

    void readsConsecutiveFrames()
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
            QCOMPARE(stamp->chapter, int(std::count_if(facts.chapterStartFrames.begin(), facts.chapterStartFrames.end(),
                                                       [&](int start) { return first + i >= start; })));
        }
    }

    void refusesPicturesWithoutAValidStamp_data()
    {
        QTest::addColumn<Transform>("damage");
        // Cells of the 720x576 frame, as scripts/make-sample-disc draws them.
        const auto cell = [](int column, int row) { return QRect(56 + column * 32, row == 0 ? 16 : 56, 32, 32); };
        const QRect all(0, 0, 720, 576);
        QTest::newRow("black") << painted({{all, Qt::black}});
        QTest::newRow("white") << painted({{all, Qt::white}});
        QTest::newRow("noise") << Transform([](const QImage &f) {
            QImage out(f.size(), QImage::Format_RGB32);
            QRandomGenerator random(7);
            for (int y = 0; y < out.height(); ++y)
                for (int x = 0; x < out.width(); ++x)
                    out.setPixel(x, y, random.generate() | 0xff000000u);
            return out;
        });
        QTest::newRow("null image") << Transform([](const QImage &) { return QImage(); });
        QTest::newRow("tiny") << scaled(120, 96);
        // Frame 5 has bit 0 set, so its cell (column 17) is white.
        QTest::newRow("frame bit flipped") << painted({{cell(17, 0), Qt::black}});
        QTest::newRow("title bit flipped") << painted({{cell(5, 1), Qt::black}});
        QTest::newRow("cell greyed") << painted({{cell(9, 0), QColor(128, 128, 128)}});
        // Swapping both markers keeps the parity but not the start pattern.
        QTest::newRow("start marker wrong") << painted({{cell(0, 0), Qt::black}, {cell(1, 0), Qt::white}});
        QTest::newRow("top cut off") << Transform([](const QImage &f) { return f.copy(0, 40, f.width(), f.height() - 40); });
        QTest::newRow("no grey band") << painted({{QRect(0, 0, 56, 96), Qt::black}, {QRect(664, 0, 56, 96), Qt::black}});
    }

    void refusesPicturesWithoutAValidStamp()
    {
        ORVANTA_REQUIRE_SAMPLE_DISC();
        QFETCH(Transform, damage);
        QString error;
        static const QList<QImage> frames = testsupport::decodeVobFrames(
            testsupport::sampleVideoTs(SampleVariant::Plain) + QLatin1Char('/') + testsupport::sampleTitles().at(0).vob,
            5, 1, &error);
        QVERIFY2(frames.size() == 1, qPrintable(error.isEmpty() ? QStringLiteral("frame 5 could not be decoded") : error));
        // The undamaged frame reads, so a refusal below comes from the damage.
        QVERIFY(testsupport::readFrameStamp(frames[0]));
        const std::optional<FrameStamp> stamp = testsupport::readFrameStamp(damage(frames[0]));
        QVERIFY2(!stamp, qPrintable(QStringLiteral("read frame %1 title %2").arg(stamp ? stamp->frame : 0).arg(stamp ? stamp->title : 0)));
    }
};

QTEST_MAIN(TestFrameStamp)
#include "tst_framestamp.moc"
