// Discs that cannot be played, or only in part, through the control window and
// the real engine: the Play failure box names the cause under its own words, a
// disc with one damaged title plays the other, and a disc that stops being
// readable while it plays stops with a message. The damaged discs are made by
// scripts/make-sample-disc (broken/).
#include "playback/engine/Engine.h"
#include "playback/PlaybackControl.h"
#include "support/SampleDisc.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"
#include "windows/video/dvdw.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <linux/capability.h>
#include <sys/syscall.h>

using playback::disc::describe;
using playback::disc::Problem;

namespace {

const QString kPlayError = QStringLiteral("Error trying to play the DVD! No disc detected in drive.");

// Root reads whatever it likes: the test gives that power up (access() goes by
// the permitted set for root), so that a folder it may not read is refused.
void dropReadOverride()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    ::syscall(SYS_capget, &header, data);
    const unsigned read = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    data[0].effective &= ~read;
    data[0].permitted &= ~read;
    ::syscall(SYS_capset, &header, data);
}

// A number the control reads, -1 while it cannot say (nothing plays yet).
int reading(playback::Variant (playback::PlaybackControl::*read)())
{
    try {
        return (dvd().*read)().toInt32();
    } catch (const playback::PlaybackError &) {
        return -1;
    }
}
int playingTitle() { return reading(&playback::PlaybackControl::CurrentTitle); }

} // namespace

class BadDiscsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_tmp;

private slots:
    void initTestCase()
    {
        ORVANTA_REQUIRE_SAMPLE_DISC();
        windowtest::setUp();
        dropReadOverride();
    }
    void cleanup() { windowtest::reset(); }

    // cause: the line under the box's words; empty when Play plays title.
    void playOrSayWhy_data()
    {
        QTest::addColumn<QString>("disc");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<int>("title");
        const QString broken = testsupport::sampleDiscRoot() + QStringLiteral("/broken/");
        const auto row = [&](const char *name, Problem problem, int title = 0) {
            QTest::newRow(name) << broken + QLatin1String(name) << describe(problem) << title;
        };
        QTest::newRow("missing path") << m_tmp.filePath("missing") << describe(Problem::NotFound) << 0;
        QTest::newRow("unreadable folder") << m_tmp.filePath("locked") << describe(Problem::PermissionDenied) << 0;
        QTest::newRow("no disc named, no drive") << QString() << describe(Problem::NoDrive) << 0;
        row("empty-folder", Problem::NotDvdVideo);
        row("empty-video-ts", Problem::EmptyVideoTs);
        row("no-ifo", Problem::NoVideoTsIfo);
        row("garbage-ifo", Problem::NavigationDamaged);
        row("bad-commands", Problem::NavigationDamaged);
        row("iso9660-only.iso", Problem::NotDvdImage);
        row("empty.iso", Problem::NotDvdImage);
        row("x.iso", Problem::NotDvdImage);
        row("text.iso", Problem::NotDvdImage);
        row("zero-vobs", Problem::VideoDamaged);
        row("scrambled", Problem::Encrypted);
        // The damage is in one title: the other plays, without the disc's navigation when
        // title 1's is the damaged one. A title cut short plays up to the cut.
        row("garbage-vts", Problem::None, 2);
        row("garbage-vts2", Problem::None, 1);
        row("zero-vob", Problem::None, 2);
        row("no-vob", Problem::None, 1);
        row("truncated-vob", Problem::None, 1);
        row("half.iso", Problem::None, 1);
    }
    void playOrSayWhy()
    {
        QFETCH(QString, disc);
        QFETCH(QString, cause);
        QFETCH(int, title);
        if (disc.isEmpty() && !playback::disc::opticalDrives().isEmpty())
            QSKIP("this machine has an optical drive");
        if (disc.endsWith(QLatin1String("/locked"))) {
            QVERIFY(testsupport::copyTree(testsupport::sampleFolder(testsupport::SampleVariant::Plain), disc));
            QVERIFY(QFile::setPermissions(disc + QStringLiteral("/VIDEO_TS"), QFileDevice::Permissions()));
        }
        auto unlock = qScopeGuard([&] { QFile::setPermissions(disc + QStringLiteral("/VIDEO_TS"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner); });
        playback::installPlaybackEngine(disc);
        Form2 &form = windowtest::showControlWindow();
        form.Command1->click();
        if (cause.isEmpty()) {
            QVERIFY2(windowtest::msgBoxes().isEmpty(), qPrintable(windowtest::msgBoxes().value(0).text));
            QCOMPARE(windowtest::visibleStatusIcons(form), QStringLiteral("Image12"));
            QTRY_COMPARE_WITH_TIMEOUT(playingTitle(), title, 5000);
            return;
        }
        QCOMPARE(windowtest::msgBoxes().size(), 1);
        const ShownMsgBox box = windowtest::msgBoxes().first();
        QCOMPARE(box.text, kPlayError + QLatin1Char('\n') + cause);
        QCOMPARE(box.style, app::vbCritical);
        QCOMPARE(box.title, QString());
        QCOMPARE(windowtest::visibleStatusIcons(form), QStringLiteral("Image14"));
        // The navigation files of a disc whose video cannot be played still tell about it.
        if (disc.endsWith(QLatin1String("scrambled")))
            QCOMPARE(dvd().DVDUniqueID().toString().size(), 16);
    }

    // Damage in the middle of a title is skipped: play goes on at the next chapter.
    void damageSkipped()
    {
        playback::installPlaybackEngine(testsupport::sampleDiscRoot() + QStringLiteral("/broken/zero-chapter"));
        Form2 &form = app::Forms::show<Form2>();
        form.Command1->click();
        QTRY_COMPARE_WITH_TIMEOUT(reading(&playback::PlaybackControl::CurrentChapter), 3, 20000);
        QCOMPARE(windowtest::visibleStatusIcons(form), QStringLiteral("Image12"));
        QVERIFY(windowtest::msgBoxes().isEmpty());
    }

    // The image is cut short while it plays: the panel stops within 3 s of its
    // clock standing still, and a box says why.
    void readFailureWhilePlaying()
    {
        const QString image = m_tmp.filePath(QStringLiteral("cut.iso"));
        QVERIFY(QFile::copy(testsupport::sampleImage(testsupport::SampleVariant::Plain), image));
        playback::installPlaybackEngine(image);
        Form2 &form = app::Forms::show<Form2>();
        form.Command1->click();
        QTRY_COMPARE_WITH_TIMEOUT(playingTitle(), 1, 5000);
        QFile file(image);
        QVERIFY(file.resize(file.size() * 4 / 10));

        QString clock;
        QElapsedTimer sinceClockMoved, all;
        all.start();
        while (windowtest::visibleStatusIcons(form) == QLatin1String("Image12") && all.elapsed() < 30000) {
            const QString now = form.Label1[1]->text() + form.Label1[2]->text();
            if (now != clock || !sinceClockMoved.isValid()) {
                clock = now;
                sinceClockMoved.start();
            }
            QTest::qWait(50);
        }
        QCOMPARE(windowtest::visibleStatusIcons(form), QStringLiteral("Image14"));
        QVERIFY2(sinceClockMoved.elapsed() <= 3000, qPrintable(QString::number(sinceClockMoved.elapsed())));
        QTRY_COMPARE(windowtest::msgBoxes().size(), 1);
        QCOMPARE(windowtest::msgBoxes().first().text,
                 QStringLiteral("Error playing the DVD!\n") + describe(Problem::VideoDamaged));
    }
};

QTEST_MAIN(BadDiscsTest)
#include "tst_baddiscs.moc"
