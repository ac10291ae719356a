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
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <linux/capability.h>
#include <sys/syscall.h>


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
        const auto row = [&](const char *name, const char *cause, int title = 0) {
            QTest::newRow(name) << broken + QLatin1String(name) << QString::fromUtf8(cause) << title;
        };
        const char *notDvdVideo = "This is not a DVD-Video disc: it has no VIDEO_TS.";
        const char *damagedIfo = "The disc's navigation files (IFO) are damaged.";
        const char *notDvdImage = "The image is not a DVD image: it has no UDF file system.";
        QTest::newRow("missing path") << m_tmp.filePath("missing") << "The disc's path does not exist." << 0;
        QTest::newRow("unreadable folder") << m_tmp.filePath("locked") << "Permission to read the disc was denied." << 0;
        QTest::newRow("no disc named, no drive") << QString() << "No DVD drive was found." << 0;
        row("empty-folder", notDvdVideo);
        row("empty-video-ts", "This is not a DVD-Video disc: its VIDEO_TS folder is empty.");
        row("no-ifo", "This is not a DVD-Video disc: its VIDEO_TS folder has no VIDEO_TS.IFO.");
        row("garbage-ifo", damagedIfo);
        row("bad-commands", damagedIfo);
        row("iso9660-only.iso", notDvdImage);
        row("empty.iso", notDvdImage);
        row("x.iso", notDvdImage);
        row("text.iso", notDvdImage);
        row("zero-vobs", "The title's video is missing or damaged.");
        row("scrambled", "The disc is encrypted (CSS) and libdvdcss is not installed.");
        // The damage is in one title: the other plays, without the disc's navigation when
        // title 1's is the damaged one. A title cut short plays up to the cut.
        row("garbage-vts", "", 2);
        row("garbage-vts2", "", 1);
        row("zero-vob", "", 2);
        row("no-vob", "", 1);
        row("truncated-vob", "", 1);
        row("half.iso", "", 1);
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
        // The disc is read off the GUI thread: the icons or the box come when it has been.
        if (cause.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(windowtest::visibleStatusIcons(form), QStringLiteral("Image12"), 10000);
            QVERIFY2(windowtest::msgBoxes().isEmpty(), qPrintable(windowtest::msgBoxes().value(0).text));
            QTRY_COMPARE_WITH_TIMEOUT(playingTitle(), title, 5000);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(windowtest::msgBoxes().size(), 1, 10000);
        const ShownMsgBox box = windowtest::msgBoxes().first();
        QCOMPARE(box.text, kPlayError + QLatin1Char('\n') + cause);
        QCOMPARE(box.style, app::vbCritical);
        QCOMPARE(box.title, QString());
        QCOMPARE(windowtest::visibleStatusIcons(form), QStringLiteral("Image14"));
        // The navigation files of a disc whose video cannot be played still tell about it.
        if (disc.endsWith(QLatin1String("scrambled")))
            QCOMPARE(dvd().DVDUniqueID().toString().size(), 16);
    }

    // The natural end of a title is no damage: title 1 goes on to title 2 with no
    // box. (The disc's own end is checked on the stills disc.)
    void naturalEndIsNoDamage()
    {
        playback::installPlaybackEngine(testsupport::sampleImage(testsupport::SampleVariant::Plain));
        Form2 &form = app::Forms::show<Form2>();
        form.Command1->click();
        QTRY_COMPARE_WITH_TIMEOUT(playingTitle(), 1, 5000);
        for (int chapter : {2, 3}) { // to the last chapter, 8 s long, played at x4
            form.Command3->click();
            QTRY_COMPARE_WITH_TIMEOUT(reading(&playback::PlaybackControl::CurrentChapter), chapter, 5000);
        }
        dvd().PlayForwards(playback::Variant::fromDouble(4.0));
        QTRY_COMPARE_WITH_TIMEOUT(playingTitle(), 2, 20000);
        QCOMPARE(windowtest::visibleStatusIcons(form), QStringLiteral("Image12"));
        QVERIFY(windowtest::msgBoxes().isEmpty());
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

    // The image is cut short while it plays: the panel stops once its clock stands
    // still, and a box says why.
    void readFailureWhilePlaying()
    {
        const QString image = m_tmp.filePath(QStringLiteral("cut.iso"));
        QVERIFY(QFile::copy(testsupport::sampleImage(testsupport::SampleVariant::Plain), image));
        playback::installPlaybackEngine(image);
        Form2 &form = app::Forms::show<Form2>();
        form.Command1->click();
        QTRY_COMPARE_WITH_TIMEOUT(playingTitle(), 1, 5000);
        QFile file(image);
        QVERIFY(file.resize(file.size() / 4));
        QTRY_COMPARE_WITH_TIMEOUT(windowtest::visibleStatusIcons(form), QStringLiteral("Image14"), 30000);
        QTRY_COMPARE(windowtest::msgBoxes().size(), 1);
        QCOMPARE(windowtest::msgBoxes().first().text,
                 QStringLiteral("Error playing the DVD!\nThe title's video is missing or damaged."));
    }
};

QTEST_MAIN(BadDiscsTest)
#include "tst_baddiscs.moc"
