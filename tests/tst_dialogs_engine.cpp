// orvanta-test: ENGINE
// The dialogs on the real engine and the sample disc: the disc information
// read from the disc, and a subtitle stream chosen in the language dialog
// reaching the engine.
#include "app/ClickableLabel.h"
#include "app/FileListBox.h"
#include "playback/Engine.h"
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

    void discInformation()
    {
        Form2 &form = app::Forms::show<Form2>();
        QTest::mouseClick(form.Command13, Qt::LeftButton);
        dvdinfo *dlg = app::Forms::loaded<dvdinfo>();
        QVERIFY(dlg);
        const QString videoTs = QDir::cleanPath(testsupport::sampleVideoTs(SampleVariant::Plain));
        QCOMPARE(dlg->Label1->text(), QStringLiteral("Disc Side: 1"));
        QVERIFY2(QRegularExpression("^[0-9A-F]{16}$").match(dlg->Label4->text()).hasMatch(),
                 qPrintable(dlg->Label4->text()));
        QCOMPARE(QDir::cleanPath(dlg->Label5->text()), videoTs);
        QStringList files = QDir(videoTs).entryList(QDir::Files);
        files.sort(Qt::CaseInsensitive);
        QVERIFY(files.contains(QStringLiteral("VIDEO_TS.IFO")));
        QCOMPARE(dlg->File->fileNames(), files);
    }

    void chosenStreamReachesTheEngine()
    {
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
