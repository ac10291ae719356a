// The disc information dialog: the four reads at load and what each fills,
// each read failing on its own, and that it is one instance that reads again
// only after it has been closed.
#include "app/FileListBox.h"
#include "app/Failure.h"
#include "app/Form.h"
#include "support/FakeDvd.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"
#include "windows/dialogs/dvdinfo.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using playback::Variant;

Q_DECLARE_METATYPE(Variant)

class DialogsDvdInfoTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { windowtest::reset(); }
    void cleanupTestCase() { windowtest::reset(); }

    void load_data();
    void load();
    void reopening_data();
    void reopening();
    void scrollBar_data();
    void scrollBar();

private:
    Form2 &controlWindow()
    {
        Form2 &form = app::Forms::show<Form2>();
        form.Timer1->stop();
        FakeDvd::current()->clearCalls();
        return form;
    }
    dvdinfo &openThroughButton(Form2 &form)
    {
        QTest::mouseClick(form.Command13, Qt::LeftButton);
        dvdinfo *dlg = app::Forms::loaded<dvdinfo>();
        if (!dlg)
            qFatal("the disc information dialog did not open");
        return *dlg;
    }
    QString makeDir(const QString &name, const QStringList &files)
    {
        const QString path = m_tmp.path() + QLatin1Char('/') + name;
        if (!QDir().mkpath(path))
            qFatal("cannot make %s", qPrintable(path));
        for (const QString &f : files) {
            QFile file(path + QLatin1Char('/') + f);
            if (!file.open(QIODevice::WriteOnly))
                qFatal("cannot make %s", qPrintable(file.fileName()));
        }
        return path;
    }

    QTemporaryDir m_tmp;
    QString m_videoTs;
};

void DialogsDvdInfoTest::initTestCase()
{
    windowtest::setUp();
    QVERIFY(m_tmp.isValid());
    m_videoTs = makeDir(QStringLiteral("disc/VIDEO_TS"),
                        {"VTS_01_1.VOB", "VIDEO_TS.IFO", "VTS_01_0.IFO", "VIDEO_TS.BUP", "VTS_01_0.BUP"});
    QVERIFY(QDir().mkpath(m_videoTs + QStringLiteral("/EXTRA")));
}

void DialogsDvdInfoTest::load_data()
{
    // The answers of the reads; Empty: every read of it fails.
    QTest::addColumn<Variant>("directory"); // "@" stands for the disc's directory
    QTest::addColumn<bool>("firstDirectoryReadFails");
    QTest::addColumn<Variant>("side");
    QTest::addColumn<Variant>("id");
    QTest::addColumn<bool>("listsDisc"); // the file list shows the disc's files, else it is empty
    QTest::addColumn<QString>("label1");
    QTest::addColumn<QString>("label4");
    QTest::addColumn<QString>("label5");

    const Variant dir = Variant::fromString(QStringLiteral("@"));
    const Variant missing = Variant::fromString(QStringLiteral("@/../NO_SUCH_DIR"));
    const Variant fails;
    const QString idText = QStringLiteral("0123456789ABCDEF");
    const Variant id = Variant::fromString(idText);
    const Variant two = Variant::fromInt32(2);

    QTest::newRow("side 2") << dir << false << two << id << true << "Disc Side: 2" << idText << "@";
    QTest::newRow("side 1") << dir << false << Variant::fromInt32(1) << id << true << "Disc Side: 1" << idText << "@";
    QTest::newRow("negative side") << dir << false << Variant::fromInt32(-3) << id << true << "Disc Side: -3" << idText
                                   << "@";
    QTest::newRow("side as 16-bit") << dir << false << Variant::fromInt16(2) << id << true << "Disc Side: 2" << idText
                                    << "@";
    QTest::newRow("side as text") << dir << false << Variant::fromString(" 2 ") << id << true << "Disc Side: 2"
                                  << idText << "@";
    QTest::newRow("numeric id") << dir << false << two << Variant::fromInt32(42) << true << "Disc Side: 2" << "42"
                                << "@";
    QTest::newRow("side read fails") << dir << false << fails << id << true << "" << idText << "@";
    QTest::newRow("side is no number") << dir << false << Variant::fromString("B") << id << true << "" << idText
                                       << "@";
    QTest::newRow("id read fails") << dir << false << two << fails << true << "Disc Side: 2" << "" << "@";
    QTest::newRow("directory read fails") << fails << false << two << id << false << "Disc Side: 2" << idText << "";
    QTest::newRow("first directory read fails") << dir << true << two << id << false << "Disc Side: 2" << idText
                                                << "@";
    QTest::newRow("directory does not exist") << missing << false << two << id << false << "Disc Side: 2" << idText
                                              << "@/../NO_SUCH_DIR";
    QTest::newRow("directory is a file") << Variant::fromString("@/VIDEO_TS.IFO") << false << two << id << false
                                         << "Disc Side: 2" << idText << "@/VIDEO_TS.IFO";
    QTest::newRow("directory is empty text") << Variant::fromString("") << false << two << id << false
                                             << "Disc Side: 2" << idText << "";
    QTest::newRow("every read fails") << fails << false << fails << fails << false << "" << "" << "";
}

void DialogsDvdInfoTest::load()
{
    QFETCH(Variant, directory);
    QFETCH(bool, firstDirectoryReadFails);
    QFETCH(Variant, side);
    QFETCH(Variant, id);
    QFETCH(bool, listsDisc);
    QFETCH(QString, label1);
    QFETCH(QString, label4);
    QFETCH(QString, label5);

    Form2 &form = controlWindow();
    FakeDvd *fd = FakeDvd::current();
    const auto script = [fd](const QString &op, const Variant &answer) {
        if (answer.isEmpty())
            fd->fails(op);
        else
            fd->returns(op, answer);
    };
    script(QStringLiteral("DVDDirectory"),
           directory.isString() ? Variant::fromString(directory.toString().replace(QLatin1Char('@'), m_videoTs))
                                : directory);
    if (firstDirectoryReadFails)
        fd->failsOnce(QStringLiteral("DVDDirectory"));
    script(QStringLiteral("CurrentDiscSide"), side);
    script(QStringLiteral("DVDUniqueID"), id);

    dvdinfo &dlg = openThroughButton(form);

    QVERIFY(dlg.isVisible());
    QCOMPARE(windowtest::msgBoxes().size(), 0);
    QCOMPARE(fd->callNames(), (QStringList{"DVDDirectory", "CurrentDiscSide", "DVDUniqueID", "DVDDirectory"}));
    QCOMPARE(dlg.Label1->text(), label1);
    QCOMPARE(dlg.Label4->text(), label4);
    QCOMPARE(dlg.Label5->text(), label5.replace(QLatin1Char('@'), m_videoTs));
    const QStringList discFiles{"VIDEO_TS.BUP", "VIDEO_TS.IFO", "VTS_01_0.BUP", "VTS_01_0.IFO", "VTS_01_1.VOB"};
    QCOMPARE(dlg.File->fileNames(), listsDisc ? discFiles : QStringList());
    // The fixed texts stay as designed.
    QCOMPARE(dlg.Label2->text(), QStringLiteral("Files on DVD Disc"));
    QCOMPARE(dlg.Label3->text(), QStringLiteral("Unique DVD ID:"));
    QCOMPARE(dlg.Label6->text(), QStringLiteral("Path:"));
    QCOMPARE(dlg.focusWidget(), static_cast<QWidget *>(dlg.File));
}

void DialogsDvdInfoTest::reopening_data()
{
    QTest::addColumn<QString>("way"); // how the first dialog is closed
    QTest::newRow("Close button") << "button";
    QTest::newRow("Alt+C") << "alt-c";
    QTest::newRow("title-bar close") << "title-bar";
}

void DialogsDvdInfoTest::reopening()
{
    QFETCH(QString, way);

    Form2 &form = controlWindow();
    FakeDvd *fd = FakeDvd::current();
    fd->returns(QStringLiteral("DVDDirectory"), Variant::fromString(m_videoTs));
    fd->returns(QStringLiteral("CurrentDiscSide"), Variant::fromInt32(1));
    fd->returns(QStringLiteral("DVDUniqueID"), Variant::fromString(QStringLiteral("AAAA")));
    QPointer<dvdinfo> first = &openThroughButton(form);

    // Another disc goes in while the dialog is open: it keeps the old disc's values.
    const QString other = makeDir(QStringLiteral("other/VIDEO_TS"), {"VIDEO_TS.IFO"});
    fd->returns(QStringLiteral("DVDDirectory"), Variant::fromString(other));
    fd->returns(QStringLiteral("CurrentDiscSide"), Variant::fromInt32(2));
    fd->returns(QStringLiteral("DVDUniqueID"), Variant::fromString(QStringLiteral("BBBB")));
    QCOMPARE(&openThroughButton(form), first.data());
    QCOMPARE(fd->calls.size(), 4);
    QCOMPARE(first->Label1->text(), QStringLiteral("Disc Side: 1"));
    QCOMPARE(first->Label4->text(), QStringLiteral("AAAA"));
    QCOMPARE(first->File->fileNames().size(), 5);

    if (way == QLatin1String("button"))
        QTest::mouseClick(first->Command1, Qt::LeftButton);
    else if (way == QLatin1String("alt-c")) {
        QVERIFY(QTest::qWaitForWindowActive(first));
        QTest::keyClick(first->File, Qt::Key_C, Qt::AltModifier);
        // The access key presses the button the way a click does, a moment later.
        QTRY_VERIFY(first.isNull());
    }
    else
        first->close();
    windowtest::settle();
    QVERIFY(first.isNull());
    QCOMPARE(fd->calls.size(), 4); // closing reads nothing

    dvdinfo &second = openThroughButton(form);
    QCOMPARE(fd->calls.size(), 8);
    QCOMPARE(second.Label1->text(), QStringLiteral("Disc Side: 2"));
    QCOMPARE(second.Label4->text(), QStringLiteral("BBBB"));
    QCOMPARE(second.Label5->text(), other);
    QCOMPARE(second.File->fileNames(), QStringList{"VIDEO_TS.IFO"});
}

void DialogsDvdInfoTest::scrollBar_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("a few files") << 4 << false;
    QTest::newRow("more than fit") << 40 << true;
}

void DialogsDvdInfoTest::scrollBar()
{
    QFETCH(int, files);
    QFETCH(bool, scrolls);

    QStringList names;
    for (int i = 0; i < files; ++i)
        names << QStringLiteral("VTS_%1_0.IFO").arg(i, 2, 10, QLatin1Char('0'));
    const QString dir = makeDir(QStringLiteral("many%1").arg(files), names);
    Form2 &form = controlWindow();
    FakeDvd::current()->returns(QStringLiteral("DVDDirectory"), Variant::fromString(dir));
    dvdinfo &dlg = openThroughButton(form);
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    QCOMPARE(dlg.File->count(), files);
    QCOMPARE(dlg.File->verticalScrollBar()->isVisible(), scrolls);
    QVERIFY(!dlg.File->horizontalScrollBar()->isVisible());
}

QTEST_MAIN(DialogsDvdInfoTest)
#include "tst_dialogs_dvdinfo.moc"
