// orvanta-test: ENGINE
// The libvlc playback control on the generated sample disc, rendering into
// memory: every check reads the frame stamp burned into the picture on screen.

#include "playback/engine/VlcPlaybackControl.h"

#include <QtTest>

#include <optional>

using playback::PlaybackError;
using playback::Variant;
using playback::engine::VlcPlaybackControl;

namespace {

const QString kDiscs = QStringLiteral(ORVANTA_SAMPLE_DISC);

struct Stamp {
    int frame = -1;
    int title = -1;
    int chapter = -1;
};

// The stamp drawn by scripts/make-sample-disc: 32-px cells from x = 56; row A at
// y 16-47 (white, black, 16 frame bits MSB first, parity), row B at y 56-87
// (black, white, 4 title bits, 4 chapter bits, parity).
std::optional<Stamp> readStamp(const QImage &image)
{
    if (image.width() < 720 || image.height() < 96)
        return std::nullopt;
    auto bit = [&](int row, int cell) { return qGray(image.pixel(56 + 32 * cell + 16, row)) > 128; };
    const int a = 32, b = 72;
    if (!bit(a, 0) || bit(a, 1) || bit(b, 0) || !bit(b, 1))
        return std::nullopt;
    Stamp s{0, 0, 0};
    int ones = 0;
    for (int i = 0; i < 16; ++i) {
        const bool v = bit(a, 2 + i);
        s.frame = s.frame * 2 + v;
        ones += v;
    }
    if ((ones + bit(a, 18)) % 2)
        return std::nullopt;
    ones = 0;
    for (int i = 0; i < 8; ++i) {
        const bool v = bit(b, 2 + i);
        (i < 4 ? s.title : s.chapter) = (i < 4 ? s.title : s.chapter) * 2 + v;
        ones += v;
    }
    if ((ones + bit(b, 10)) % 2)
        return std::nullopt;
    return s;
}

int framesOf(const QString &timecode)
{
    const QStringList p = timecode.split(QLatin1Char(':'));
    if (p.size() != 4)
        return -1;
    return ((p[0].toInt() * 60 + p[1].toInt()) * 60 + p[2].toInt()) * 25 + p[3].toInt();
}

} // namespace

class EnginePlaybackTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<VlcPlaybackControl> dvd;

    std::optional<Stamp> stampOnScreen() { return readStamp(dvd->lastFrame()); }
    // Waits until the picture on screen satisfies pred.
    bool waitForStamp(const std::function<bool(const Stamp &)> &pred, int timeoutMs = 5000)
    {
        return QTest::qWaitFor(
            [&] {
                auto s = stampOnScreen();
                return s && pred(*s);
            },
            timeoutMs);
    }

private slots:
    void init() {}
    void cleanup() { dvd.reset(); }

    void positionFollowsThePictureOnScreen_data()
    {
        QTest::addColumn<QString>("disc");
        QTest::newRow("folder") << kDiscs + QStringLiteral("/plain");
        QTest::newRow("image") << kDiscs + QStringLiteral("/plain.iso");
    }
    void positionFollowsThePictureOnScreen()
    {
        QFETCH(QString, disc);
        dvd = std::make_unique<VlcPlaybackControl>(disc);
        dvd->resize(360, 288);
        dvd->Play();
        QVERIFY(waitForStamp([](const Stamp &s) { return s.title == 1 && s.frame >= 5; }));
        int checked = 0, worst = 0;
        QElapsedTimer clock;
        clock.start();
        int lastFrame = -1;
        while (clock.elapsed() < 2500) {
            QSignalSpy shown(dvd.get(), &VlcPlaybackControl::pictureShown);
            QVERIFY(shown.wait(1000));
            const auto s = stampOnScreen();
            QVERIFY(s);
            const int reported = framesOf(dvd->CurrentTime().toString());
            worst = std::max(worst, std::abs(reported - s->frame));
            QVERIFY2(std::abs(reported - s->frame) <= 1,
                     qPrintable(QStringLiteral("time %1 on frame %2").arg(dvd->CurrentTime().toString()).arg(s->frame)));
            QVERIFY(s->frame >= lastFrame);
            lastFrame = s->frame;
            ++checked;
        }
        QVERIFY2(checked > 30, qPrintable(QString::number(checked)));
        QCOMPARE(dvd->CurrentTitle().toInt32(), 1);
        QCOMPARE(dvd->TotalTitleTime().toString(), QStringLiteral("00:00:24:00"));
    }
};

QTEST_MAIN(EnginePlaybackTest)
#include "tst_engine_playback.moc"
