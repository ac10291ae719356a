// The subtitle language dialog: what it lists and preselects, what "Done"
// writes, what the other ways out write (nothing), and that it is one instance
// holding the copy of the table it took when it loaded.
#include "app/Failure.h"
#include "app/Form.h"
#include "startup/Module1.h"
#include "support/FakeDvd.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"
#include "windows/dialogs/subtitles.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using playback::Variant;

Q_DECLARE_METATYPE(Variant)

namespace {

// The shared table as the status poll would leave it: entries 1.. and the count.
void setTable(const QStringList &languages, int count)
{
    for (int i = 0; i < languages.size(); ++i)
        Module1::subtitleLanguage(i + 1) = languages.at(i);
    Module1::SubtitleStreamCount = std::int16_t(count);
}

QStringList listed(const subtitles &dlg)
{
    QStringList items;
    for (int i = 0; i < dlg.Combo1->count(); ++i)
        items << dlg.Combo1->itemText(i);
    return items;
}

QStringList numbered(int n)
{
    QStringList names;
    for (int i = 1; i <= n; ++i)
        names << QStringLiteral("Language %1").arg(i);
    return names;
}

} // namespace

class DialogsSubtitlesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { windowtest::setUp(); }
    void init() { windowtest::reset(); }
    void cleanupTestCase() { windowtest::reset(); }

    void load_data();
    void load();
    void done_data();
    void done();
    void leavingWithoutDone_data();
    void leavingWithoutDone();
    void reopening();

private:
    // The control window with its status poll stopped, so that only the test
    // writes the shared table; the fake control with no calls recorded.
    Form2 &controlWindow()
    {
        Form2 &form = app::Forms::show<Form2>();
        form.Timer1->stop();
        FakeDvd::current()->clearCalls();
        return form;
    }
    subtitles &openThroughSubs(Form2 &form)
    {
        app::runHandler([&] { form.Subs_Click(); });
        subtitles *dlg = app::Forms::loaded<subtitles>();
        if (!dlg)
            qFatal("the subtitle language dialog did not open");
        return *dlg;
    }
};

void DialogsSubtitlesTest::load_data()
{
    QTest::addColumn<QStringList>("table");  // entries 1.. of SubtitleLanguages
    QTest::addColumn<int>("count");          // SubtitleStreamCount
    QTest::addColumn<Variant>("current");    // CurrentSubpictureStream's answer; Empty: the read fails
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("selected");

    const QStringList abc{"English", "French", "German"};
    const Variant fails;
    QTest::newRow("three, stream 2") << abc << 3 << Variant::fromInt32(2) << abc << 1;
    QTest::newRow("three, stream 1") << abc << 3 << Variant::fromInt32(1) << abc << 0;
    QTest::newRow("three, last stream") << abc << 3 << Variant::fromInt32(3) << abc << 2;
    QTest::newRow("stream 0") << abc << 3 << Variant::fromInt32(0) << abc << -1;
    QTest::newRow("stream beyond the count") << abc << 3 << Variant::fromInt32(4) << abc << -1;
    QTest::newRow("negative stream") << abc << 3 << Variant::fromInt32(-1) << abc << -1;
    QTest::newRow("stream beyond 16 bits") << abc << 3 << Variant::fromInt32(65537) << abc << -1;
    QTest::newRow("stream read fails") << abc << 3 << fails << abc << -1;
    QTest::newRow("stream is no number") << abc << 3 << Variant::fromString("first") << abc << -1;
    QTest::newRow("stream as text") << abc << 3 << Variant::fromString("3") << abc << 2;
    // Entries beyond the count are left over from an earlier disc.
    QTest::newRow("count below the table") << abc << 2 << Variant::fromInt32(2) << QStringList{"English", "French"} << 1;
    QTest::newRow("count 0") << abc << 0 << Variant::fromInt32(0) << QStringList() << -1;
    QTest::newRow("count 0, stream 1") << abc << 0 << Variant::fromInt32(1) << QStringList() << -1;
    QTest::newRow("negative count") << abc << -3 << Variant::fromInt32(1) << QStringList() << -1;
    QTest::newRow("empty entry") << QStringList{"English", "", "German"} << 3 << Variant::fromInt32(2)
                                 << QStringList{"English", "", "German"} << 1;
    QTest::newRow("count 50") << numbered(50) << 50 << Variant::fromInt32(50) << numbered(50) << 49;
    QTest::newRow("count above 50") << numbered(50) << 77 << Variant::fromInt32(50) << numbered(50) << 49;
    QTest::newRow("count above 50, stream above 50") << numbered(50) << 77 << Variant::fromInt32(51) << numbered(50)
                                                     << -1;
}

void DialogsSubtitlesTest::load()
{
    QFETCH(QStringList, table);
    QFETCH(int, count);
    QFETCH(Variant, current);
    QFETCH(QStringList, items);
    QFETCH(int, selected);

    Form2 &form = controlWindow();
    FakeDvd *fd = FakeDvd::current();
    setTable(table, count);
    if (current.isEmpty())
        fd->fails(QStringLiteral("CurrentSubpictureStream"));
    else
        fd->returns(QStringLiteral("CurrentSubpictureStream"), current);

    subtitles &dlg = openThroughSubs(form);

    // The dialog always opens, quietly, and only reads the current stream.
    QVERIFY(dlg.isVisible());
    QCOMPARE(windowtest::msgBoxes().size(), 0);
    QCOMPARE(fd->callNames(), QStringList{"CurrentSubpictureStream"});
    QCOMPARE(listed(dlg), items);
    QCOMPARE(dlg.Combo1->currentIndex(), selected);
    QCOMPARE(int(dlg.ListIndex()), selected);
    QCOMPARE(dlg.Combo1->currentText(), selected >= 0 ? items.at(selected) : QString());
    // Done has the focus; neither control was added to nor sorted.
    QCOMPARE(dlg.focusWidget(), dlg.Command1);
}

void DialogsSubtitlesTest::done_data()
{
    QTest::addColumn<int>("current");  // the stream preselected
    QTest::addColumn<QString>("pick"); // "" keeps the preselection; "#n" picks list position n; other text is typed
    QTest::addColumn<bool>("refused"); // the control refuses the write
    QTest::addColumn<int>("written");

    QTest::newRow("keep stream 2") << 2 << "" << false << 2;
    QTest::newRow("choose the third") << 2 << "#2" << false << 3;
    QTest::newRow("choose the first") << 3 << "#0" << false << 1;
    QTest::newRow("nothing selected") << 0 << "" << false << 0;
    QTest::newRow("selection cleared") << 2 << "#-1" << false << 0;
    QTest::newRow("text typed over the choice") << 2 << "Klingon" << false << 0;
    QTest::newRow("typed, then chosen again") << 2 << "Klingon;#0" << false << 1;
    QTest::newRow("control refuses the stream") << 2 << "#2" << true << 3;
}

void DialogsSubtitlesTest::done()
{
    QFETCH(int, current);
    QFETCH(QString, pick);
    QFETCH(bool, refused);
    QFETCH(int, written);

    Form2 &form = controlWindow();
    FakeDvd *fd = FakeDvd::current();
    setTable({"English", "French", "German"}, 3);
    fd->returns(QStringLiteral("CurrentSubpictureStream"), Variant::fromInt32(current));
    if (refused)
        fd->fails(QStringLiteral("CurrentSubpictureStream="));
    QPointer<subtitles> dlg = &openThroughSubs(form);

    for (const QString &step : pick.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (step.startsWith(QLatin1Char('#')))
            dlg->Combo1->setCurrentIndex(step.mid(1).toInt());
        else
            QTest::keyClicks(dlg->Combo1->lineEdit(), step);
    }
    // Choosing alone writes nothing.
    QCOMPARE(fd->count(QStringLiteral("CurrentSubpictureStream=")), 0);

    fd->clearCalls();
    QTest::mouseClick(dlg->Command1, Qt::LeftButton);
    windowtest::settle();

    QCOMPARE(fd->callNames(), QStringList{"CurrentSubpictureStream="});
    QCOMPARE(fd->calls.first().args, QList<Variant>{Variant::fromInt32(written)});
    // Closed and discarded whatever the control said, and nothing reported.
    QVERIFY(dlg.isNull());
    QVERIFY(!app::Forms::loaded<subtitles>());
    QCOMPARE(windowtest::msgBoxes().size(), 0);
}

void DialogsSubtitlesTest::leavingWithoutDone_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("staysOpen");

    QTest::newRow("title-bar close") << "close" << false;
    QTest::newRow("Escape") << "escape" << true;
    QTest::newRow("Enter in the text field") << "enter" << true;
    QTest::newRow("Enter on a typed language") << "type-enter" << true;
}

void DialogsSubtitlesTest::leavingWithoutDone()
{
    QFETCH(QString, way);
    QFETCH(bool, staysOpen);

    Form2 &form = controlWindow();
    FakeDvd *fd = FakeDvd::current();
    setTable({"English", "French"}, 2);
    fd->returns(QStringLiteral("CurrentSubpictureStream"), Variant::fromInt32(1));
    QPointer<subtitles> dlg = &openThroughSubs(form);
    fd->clearCalls();

    if (way == QLatin1String("close")) {
        dlg->close();
    } else if (way == QLatin1String("escape")) {
        QTest::keyClick(dlg->Command1, Qt::Key_Escape);
        QTest::keyClick(dlg->Combo1->lineEdit(), Qt::Key_Escape);
    } else {
        if (way == QLatin1String("type-enter")) {
            dlg->Combo1->lineEdit()->clear();
            QTest::keyClicks(dlg->Combo1->lineEdit(), QStringLiteral("French"));
        }
        QTest::keyClick(dlg->Combo1->lineEdit(), Qt::Key_Return);
    }
    windowtest::settle();

    QCOMPARE(fd->calls.size(), 0);
    QCOMPARE(!dlg.isNull(), staysOpen);
    QCOMPARE(app::Forms::loaded<subtitles>() != nullptr, staysOpen);
    if (staysOpen) {
        QVERIFY(dlg->isVisible());
        QCOMPARE(listed(*dlg), (QStringList{"English", "French"})); // Enter adds nothing to the list
    }
}

void DialogsSubtitlesTest::reopening()
{
    Form2 &form = controlWindow();
    FakeDvd *fd = FakeDvd::current();
    setTable({"English", "French", "German"}, 3);
    fd->returns(QStringLiteral("CurrentSubpictureStream"), Variant::fromInt32(3));
    QPointer<subtitles> first = &openThroughSubs(form);

    // The status poll moves on to another disc while the dialog is open.
    setTable({"Dutch", "Danish"}, 2);
    fd->returns(QStringLiteral("CurrentSubpictureStream"), Variant::fromInt32(1));
    first->Combo1->setCurrentIndex(0);

    // Shown again, same instance: nothing read, nothing refilled, the user's choice kept.
    QCOMPARE(&openThroughSubs(form), first.data());
    QCOMPARE(fd->count(QStringLiteral("CurrentSubpictureStream")), 1);
    QCOMPARE(listed(*first), (QStringList{"English", "French", "German"}));
    QCOMPARE(first->Combo1->currentIndex(), 0);

    // After Done the next opening is a fresh load from the table as it is now.
    QTest::mouseClick(first->Command1, Qt::LeftButton);
    windowtest::settle();
    QVERIFY(first.isNull());
    subtitles &second = openThroughSubs(form);
    QCOMPARE(fd->count(QStringLiteral("CurrentSubpictureStream")), 2);
    QCOMPARE(listed(second), (QStringList{"Dutch", "Danish"}));
    QCOMPARE(second.Combo1->currentIndex(), 0);

    // Closed with the title-bar button, then opened again: loaded afresh too.
    second.close();
    windowtest::settle();
    setTable({"Finnish"}, 1);
    subtitles &third = openThroughSubs(form);
    QCOMPARE(listed(third), QStringList{"Finnish"});
    QCOMPARE(fd->count(QStringLiteral("CurrentSubpictureStream=")), 1);
}

QTEST_MAIN(DialogsSubtitlesTest)
#include "tst_dialogs_subtitles.moc"
