// The disc information dialog: the four reads at load and what each fills,
// the file list of the disc's directory, and one instance that reads again
// only after it has been closed.
#include "app/FileListBox.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"
#include "windows/dialogs/dvdinfo.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using playback::Variant;
Q_DECLARE_METATYPE(Variant)

class DialogsDvdInfoTest : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    Form2 *form = nullptr;
    FakeDvd *fd = nullptr;

    void script(const QString &op, const Variant &answer) // Empty: every read fails
    {
        answer.isEmpty() ? fd->fails(op) : fd->returns(op, answer);
    }
    dvdinfo *open()
    {
        QTest::mouseClick(form->Command13, Qt::LeftButton);
        return app::Forms::loaded<dvdinfo>();
    }

private slots:
    void initTestCase()
    {
        windowtest::setUp();
        // A video directory with what the list must leave out: directories, hidden files, a broken link.
        QDir d(tmp.path());
        QVERIFY(d.mkpath("VIDEO_TS/SUB") && d.mkpath("VIDEO_TS/.hiddendir") && d.mkpath("OTHER"));
        for (const char *f : {"VTS_01_1.VOB", "VIDEO_TS.IFO", "vts_01_0.ifo", "VIDEO_TS.BUP", ".hidden", "../OTHER/X"})
            QVERIFY(QFile(tmp.filePath(QStringLiteral("VIDEO_TS/") + f)).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(tmp.filePath("nowhere"), tmp.filePath("VIDEO_TS/broken")));
    }
    void init()
    {
        windowtest::reset();
        form = &windowtest::showControlWindow();
        fd = FakeDvd::current();
        fd->clearCalls();
    }

    void load_data()
    {
        QTest::addColumn<QString>("directory"); // "" : the read fails
        QTest::addColumn<bool>("firstDirectoryReadFails");
        QTest::addColumn<Variant>("side");
        QTest::addColumn<Variant>("id"); // shown as it is read
        QTest::addColumn<bool>("listsDisc"); // else the list is empty
        QTest::addColumn<QString>("label1");

        const Variant id = Variant::fromString("0123456789ABCDEF"), two = Variant::fromInt32(2), fails;
        const QString side2 = QStringLiteral("Disc Side: 2");
        QTest::newRow("side 2") << "VIDEO_TS" << false << two << id << true << side2;
        QTest::newRow("negative side") << "VIDEO_TS" << false << Variant::fromInt32(-3) << id << true << "Disc Side: -3";
        QTest::newRow("side read fails") << "VIDEO_TS" << false << fails << id << true << "";
        QTest::newRow("side is no number") << "VIDEO_TS" << false << Variant::fromString("B") << id << true << "";
        QTest::newRow("id read fails") << "VIDEO_TS" << false << two << fails << true << side2;
        QTest::newRow("directory read fails") << "" << false << two << id << false << side2;
        QTest::newRow("first directory read fails") << "VIDEO_TS" << true << two << id << false << side2;
        QTest::newRow("directory missing") << "NO_SUCH" << false << two << id << false << side2;
        QTest::newRow("every read fails") << "" << false << fails << fails << false << "";
    }
    void load()
    {
        QFETCH(QString, directory);
        QFETCH(bool, firstDirectoryReadFails);
        QFETCH(Variant, side);
        QFETCH(Variant, id);
        QFETCH(bool, listsDisc);
        QFETCH(QString, label1);

        const QString path = directory.isEmpty() ? QString() : tmp.filePath(directory);
        script(QStringLiteral("DVDDirectory"), path.isEmpty() ? Variant() : Variant::fromString(path));
        if (firstDirectoryReadFails)
            fd->failsOnce(QStringLiteral("DVDDirectory"));
        script(QStringLiteral("CurrentDiscSide"), side);
        script(QStringLiteral("DVDUniqueID"), id);

        dvdinfo *dlg = open();
        QVERIFY(dlg && dlg->isVisible() && windowtest::msgBoxes().isEmpty()); // it always opens, quietly
        QCOMPARE(fd->callNames(), (QStringList{"DVDDirectory", "CurrentDiscSide", "DVDUniqueID", "DVDDirectory"}));
        QCOMPARE(dlg->Label1->text(), label1);
        QCOMPARE(dlg->Label4->text(), id.isEmpty() ? QString() : QStringLiteral("0123456789ABCDEF"));
        QCOMPARE(dlg->Label5->text(), path); // the reported path, listed or not
        const QStringList files{"VIDEO_TS.BUP", "VIDEO_TS.IFO", "vts_01_0.ifo", "VTS_01_1.VOB"};
        QCOMPARE(dlg->File->fileNames(), listsDisc ? files : QStringList());
        QCOMPARE(dlg->focusWidget(), static_cast<QWidget *>(dlg->File));
    }

    void reopening()
    {
        script(QStringLiteral("DVDDirectory"), Variant::fromString(tmp.filePath("VIDEO_TS")));
        script(QStringLiteral("CurrentDiscSide"), Variant::fromInt32(1));
        QPointer<dvdinfo> first = open();
        // Another disc goes in: the open dialog is shown again and reads nothing.
        script(QStringLiteral("DVDDirectory"), Variant::fromString(tmp.filePath("OTHER")));
        script(QStringLiteral("CurrentDiscSide"), Variant::fromInt32(2));
        QCOMPARE(open(), first.data());
        QCOMPARE(fd->calls.size(), 4);
        QCOMPARE(first->Label1->text(), QStringLiteral("Disc Side: 1"));
        // Alt+C closes it; the next opening reads everything again.
        QVERIFY(QTest::qWaitForWindowActive(first));
        QTest::keyClick(first->File, Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(first.isNull());
        dvdinfo *second = open();
        QCOMPARE(fd->calls.size(), 8);
        QCOMPARE(second->Label1->text(), QStringLiteral("Disc Side: 2"));
        QCOMPARE(second->File->fileNames(), QStringList{"X"});
    }
};

QTEST_MAIN(DialogsDvdInfoTest)
#include "tst_dialogs_dvdinfo.moc"
