// The dialogs: the About box (its version, the ways to close it, and that it
// is modal), the disc information dialog (what each read fills, the file
// list) and the subtitle language dialog (what it lists and preselects, what
// "Done" writes, leaving it without writing).
#include "app/Failure.h"
#include "app/FileListBox.h"
#include "startup/Module1.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"
#include "windows/dialogs/dvdinfo.h"
#include "windows/dialogs/frmAbout.h"
#include "windows/dialogs/subtitles.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using playback::Variant;
Q_DECLARE_METATYPE(Variant)

namespace {

const QStringList abc{"English", "French", "German"};

QStringList listed(const subtitles *dlg)
{
    QStringList items;
    for (int i = 0; i < dlg->Combo1->count(); ++i)
        items << dlg->Combo1->itemText(i);
    return items;
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    Form2 *form = nullptr;
    FakeDvd *fd = nullptr;

    // Clicks About and runs `inside` in the box's modal loop; `inside` closes the
    // box. False when the box was left open (it is then closed after a while).
    bool openAbout(const std::function<void(frmAbout &)> &inside)
    {
        bool leftOpen = false;
        QTimer guard;
        connect(&guard, &QTimer::timeout, [&] { leftOpen = true; app::Forms::unload<frmAbout>(); });
        guard.start(5000);
        QTimer::singleShot(0, this, [&] { inside(*app::Forms::loaded<frmAbout>()); });
        QTest::mouseClick(form->Command7, Qt::LeftButton); // returns when the box is closed
        windowtest::settle();
        return !leftOpen && !app::Forms::loaded<frmAbout>();
    }
    // Answers op with answer; an empty answer: the read fails.
    void script(const QString &op, const Variant &answer) { answer.isEmpty() ? fd->fails(op) : fd->returns(op, answer); }
    subtitles *openSubtitles(const QStringList &table, int count, const Variant &current)
    {
        for (int i = 0; i < table.size(); ++i)
            Module1::subtitleLanguage(i + 1) = table.at(i);
        Module1::SubtitleStreamCount = std::int16_t(count);
        script(QStringLiteral("CurrentSubpictureStream"), current);
        app::runHandler([this] { form->Subs_Click(); });
        return app::Forms::loaded<subtitles>();
    }

private slots:
    void initTestCase()
    {
        windowtest::setUp();
        // A video directory with what the list must leave out: directories, hidden files, a broken link.
        QDir d(tmp.path());
        QVERIFY(d.mkpath("VIDEO_TS/SUB") && d.mkpath("VIDEO_TS/.hiddendir"));
        for (const char *f : {"VTS_01_1.VOB", "VIDEO_TS.IFO", "vts_01_0.ifo", "VIDEO_TS.BUP", ".hidden"})
            QVERIFY(QFile(tmp.filePath(QStringLiteral("VIDEO_TS/") + f)).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(tmp.filePath("nowhere"), tmp.filePath("VIDEO_TS/broken")));
    }
    void init()
    {
        windowtest::reset();
        form = &windowtest::showControlWindow();
        fd = FakeDvd::current();
        fd->calls.clear();
    }

    void aboutCloses_data()
    {
        QTest::addColumn<int>("key"); // 0: the title-bar close button
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("title-bar close") << 0;
    }
    void aboutCloses()
    {
        QFETCH(int, key);
        for (int opening = 1; opening <= 2; ++opening) {
            QString shown;
            bool modalWithFocus = false;
            QVERIFY2(openAbout([&](frmAbout &box) {
                         shown = box.lblVersion->text();
                         modalWithFocus = box.isModal() && box.focusWidget() == box.cmdOK;
                         key ? QTest::keyClick(box.cmdOK, Qt::Key(key)) : void(box.close());
                     }),
                     "the box did not close");
            QVERIFY(modalWithFocus);
            QCOMPARE(shown, QStringLiteral("Version 2.0.0")); // rebuilt, not appended to
        }
    }

    void discInformation_data()
    {
        QTest::addColumn<QString>("directory"); // "" : the read fails
        QTest::addColumn<Variant>("side");
        QTest::addColumn<Variant>("id");
        QTest::addColumn<bool>("listsDisc"); // else the list is empty
        QTest::addColumn<QString>("label1");
        const Variant id = Variant::fromString("0123456789ABCDEF"), two = Variant::fromInt32(2), fails;
        QTest::newRow("side 2") << "VIDEO_TS" << two << id << true << "Disc Side: 2";
        QTest::newRow("side is no number") << "VIDEO_TS" << Variant::fromString("B") << id << true << "";
        QTest::newRow("directory missing") << "NO_SUCH" << two << fails << false << "Disc Side: 2";
        QTest::newRow("every read fails") << "" << fails << fails << false << "";
    }
    void discInformation()
    {
        QFETCH(QString, directory);
        QFETCH(Variant, side);
        QFETCH(Variant, id);
        QFETCH(bool, listsDisc);
        QFETCH(QString, label1);
        const QString path = directory.isEmpty() ? QString() : tmp.filePath(directory);
        script(QStringLiteral("DVDDirectory"), path.isEmpty() ? Variant() : Variant::fromString(path));
        script(QStringLiteral("CurrentDiscSide"), side);
        script(QStringLiteral("DVDUniqueID"), id);
        QTest::mouseClick(form->Command13, Qt::LeftButton);
        dvdinfo *dlg = app::Forms::loaded<dvdinfo>();
        QVERIFY(dlg && dlg->isVisible() && windowtest::msgBoxes().isEmpty()); // it always opens, quietly
        QCOMPARE(dlg->Label1->text(), label1);
        QCOMPARE(dlg->Label4->text(), id.isEmpty() ? QString() : id.toString());
        QCOMPARE(dlg->Label5->text(), path); // the reported path, listed or not
        const QStringList files{"VIDEO_TS.BUP", "VIDEO_TS.IFO", "vts_01_0.ifo", "VTS_01_1.VOB"};
        QCOMPARE(dlg->File->fileNames(), listsDisc ? files : QStringList());
    }

    void languageList_data()
    {
        QTest::addColumn<QStringList>("table");
        QTest::addColumn<int>("count");
        QTest::addColumn<Variant>("current"); // Empty: the read fails
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<int>("selected");
        QStringList fifty;
        for (int i = 1; i <= 50; ++i)
            fifty << QString::number(i);
        QTest::newRow("three, stream 2") << abc << 3 << Variant::fromInt32(2) << abc << 1;
        QTest::newRow("stream 0") << abc << 3 << Variant::fromInt32(0) << abc << -1;
        QTest::newRow("unreadable stream") << abc << 3 << Variant() << abc << -1;
        QTest::newRow("negative count") << abc << -3 << Variant::fromInt32(1) << QStringList() << -1;
        QTest::newRow("count above 50") << fifty << 77 << Variant::fromInt32(50) << fifty << 49;
    }
    void languageList()
    {
        QFETCH(QStringList, table);
        QFETCH(int, count);
        QFETCH(Variant, current);
        QFETCH(QStringList, items);
        QFETCH(int, selected);
        subtitles *dlg = openSubtitles(table, count, current);
        QVERIFY(dlg && dlg->isVisible() && windowtest::msgBoxes().isEmpty()); // it always opens, quietly
        QCOMPARE(listed(dlg), items);
        QCOMPARE(dlg->Combo1->currentIndex(), selected);
        QCOMPARE(dlg->focusWidget(), dlg->Command1);
    }

    void languageDone_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("pick"); // "#n": list position n; other text is typed into the field
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("written");
        QTest::newRow("choose the third") << 2 << "#2" << false << 3;
        QTest::newRow("nothing selected") << 0 << "" << false << 0;
        QTest::newRow("text typed over the choice") << 2 << "Klingon" << false << 0;
        QTest::newRow("the control refuses") << 2 << "#0" << true << 1;
    }
    void languageDone()
    {
        QFETCH(int, current);
        QFETCH(QString, pick);
        QFETCH(bool, refused);
        QFETCH(int, written);
        QPointer<subtitles> dlg = openSubtitles(abc, 3, Variant::fromInt32(current));
        if (refused)
            fd->fails(QStringLiteral("CurrentSubpictureStream="));
        if (pick.startsWith(QLatin1Char('#')))
            dlg->Combo1->setCurrentIndex(pick.mid(1).toInt());
        else
            QTest::keyClicks(dlg->Combo1->lineEdit(), pick);
        fd->calls.clear();
        QTest::mouseClick(dlg->Command1, Qt::LeftButton);
        windowtest::settle();
        QCOMPARE(fd->calls, QStringList{QStringLiteral("CurrentSubpictureStream= %1").arg(written)});
        QVERIFY(dlg.isNull() && windowtest::msgBoxes().isEmpty()); // closed whatever the control said, quietly
    }

    void languageLeftWithoutDone()
    {
        QPointer<subtitles> dlg = openSubtitles(abc, 3, Variant::fromInt32(1));
        fd->calls.clear();
        // Neither the default nor the cancel button: Enter and Escape in the list do nothing.
        QTest::keyClick(dlg->Combo1->lineEdit(), Qt::Key_Return);
        QTest::keyClick(dlg->Combo1->lineEdit(), Qt::Key_Escape);
        windowtest::settle();
        QVERIFY(dlg && dlg->isVisible());
        QCOMPARE(listed(dlg), abc); // Enter inserted nothing
        dlg->close(); // the title-bar close button writes nothing
        windowtest::settle();
        QVERIFY(dlg.isNull() && fd->calls.isEmpty());
    }
};

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
