// orvanta-test: ENGINE
// The dialogs on the real engine and the sample disc: the disc information
// read from the disc, and a subtitle stream chosen in the language dialog
// reaching the engine.
#include "app/ClickableLabel.h"
#include "app/FileListBox.h"
#include "playback/Engine.h"
#include "playback/engine/VlcPlaybackControl.h"
#include "startup/Module1.h"
#include "support/SampleDisc.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"
#include "windows/dialogs/dvdinfo.h"
#include "windows/dialogs/subtitles.h"
#include "windows/video/dvdw.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using testsupport::SampleVariant;

class DialogsEngineTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        ORVANTA_REQUIRE_SAMPLE_DISC();
        windowtest::setUp();
        playback::installPlaybackEngine(testsupport::sampleFolder(SampleVariant::Plain));
    }
    void init() { windowtest::reset(); }
    void cleanupTestCase() { windowtest::reset(); }

    void discInformation_data()
    {
        QTest::addColumn<QString>("disc");
        QTest::addColumn<QString>("path"); // what the dialog shows as the video directory
        const QString videoTs = QDir::cleanPath(testsupport::sampleVideoTs(SampleVariant::Plain));
        QTest::newRow("folder") << testsupport::sampleFolder(SampleVariant::Plain) << videoTs;
        // An image's VIDEO_TS is listed from the image's own file system.
        const QString image = testsupport::sampleImage(SampleVariant::Plain);
        QTest::newRow("image") << image << QDir::cleanPath(image) + QStringLiteral("/VIDEO_TS");
    }
    void discInformation()
    {
        QFETCH(QString, disc);
        QFETCH(QString, path);
        playback::installPlaybackEngine(disc);
        Form2 &form = app::Forms::show<Form2>();
        QTest::mouseClick(form.Command13, Qt::LeftButton);
        dvdinfo *dlg = app::Forms::loaded<dvdinfo>();
        QVERIFY(dlg);
        QCOMPARE(dlg->Label1->text(), QStringLiteral("Disc Side: 1"));
        QVERIFY2(QRegularExpression("^[0-9A-F]{16}$").match(dlg->Label4->text()).hasMatch(),
                 qPrintable(dlg->Label4->text()));
        QCOMPARE(QDir::cleanPath(dlg->Label5->text()), path);
        QStringList files = QDir(testsupport::sampleVideoTs(SampleVariant::Plain)).entryList(QDir::Files);
        files.sort(Qt::CaseInsensitive);
        QVERIFY(files.contains(QStringLiteral("VIDEO_TS.IFO")));
        QCOMPARE(dlg->File->fileNames(), files);
    }

    // The wide disc's streams 1 to 4 lie on sub-streams 0, 1, 2 (3 is stream 3's
    // letterbox variant) and 4; each sub-stream draws its own marker square.
    void everyStreamShowsItsOwnSubtitle()
    {
        playback::installPlaybackEngine(testsupport::sampleFolder(SampleVariant::Wide));
        Form2 &form = app::Forms::show<Form2>();
        QTest::mouseClick(form.Command1, Qt::LeftButton);
        QTest::mouseClick(form.Command9, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(int(Module1::SubtitleStreamCount), 4, 5000);
        QCOMPARE(Module1::SubtitleLanguages[2], QStringLiteral("Hebrew"));
        auto *engine = static_cast<playback::engine::VlcPlaybackControl *>(&dvd());
        const auto markersShown = [engine] {
            const QImage picture = engine->lastFrame().scaled(720, 576);
            QList<int> shown;
            for (int k = 0; k < 5; ++k)
                if (!picture.isNull() && qGray(picture.pixel(92 + 120 * k, 232)) > 200)
                    shown << k;
            return shown;
        };
        const QList<int> subStream = {0, 1, 2, 4};
        for (int stream = 1; stream <= 4; ++stream) {
            QTest::mouseClick(form.Subs, Qt::LeftButton);
            subtitles *dlg = app::Forms::loaded<subtitles>();
            QVERIFY(dlg);
            dlg->Combo1->setCurrentIndex(stream - 1);
            QTest::mouseClick(dlg->Command1, Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(markersShown(), QList<int>{subStream[stream - 1]}, 3000);
        }
    }

    void chosenStreamReachesTheEngine()
    {
        playback::installPlaybackEngine(testsupport::sampleFolder(SampleVariant::Plain));
        Form2 &form = app::Forms::show<Form2>();
        QTest::mouseClick(form.Command1, Qt::LeftButton);
        QTest::mouseClick(form.Command9, Qt::LeftButton);
        QVERIFY(form.Subs->isVisible());
        const QStringList codes = testsupport::sampleTitles().first().subpictureLanguageCodes;
        // The status poll fills the language table while the disc plays.
        QTRY_COMPARE_WITH_TIMEOUT(int(Module1::SubtitleStreamCount), int(codes.size()), 5000);

        QTest::mouseClick(form.Subs, Qt::LeftButton);
        subtitles *dlg = app::Forms::loaded<subtitles>();
        QVERIFY(dlg && dlg->Combo1->count() == codes.size());
        QCOMPARE(dlg->Combo1->currentIndex(), dvd().CurrentSubpictureStream().toInt32() - 1);
        dlg->Combo1->setCurrentIndex(codes.size() - 1);
        QTest::mouseClick(dlg->Command1, Qt::LeftButton);
        windowtest::settle();
        QVERIFY(!app::Forms::loaded<subtitles>()); // closed, and the engine has the chosen stream
        QCOMPARE(dvd().CurrentSubpictureStream().toInt32(), int(codes.size()));

        // Opened again, the dialog shows the engine's new stream.
        QTest::mouseClick(form.Subs, Qt::LeftButton);
        QCOMPARE(app::Forms::loaded<subtitles>()->Combo1->currentIndex(), codes.size() - 1);
        QCOMPARE(windowtest::msgBoxes().size(), 0);
    }
};

QTEST_MAIN(DialogsEngineTest)
#include "tst_dialogs_engine.moc"
