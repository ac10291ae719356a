// The subtitle language dialog: what it lists and preselects, what "Done"
// writes, and that it is one instance holding the table it copied at load.
#include "app/Failure.h"
#include "startup/Module1.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"
#include "windows/dialogs/subtitles.h"

#include <QComboBox>
#include <QPointer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using playback::Variant;
Q_DECLARE_METATYPE(Variant)

namespace {

QStringList listed(const subtitles *dlg)
{
    QStringList items;
    for (int i = 0; i < dlg->Combo1->count(); ++i)
        items << dlg->Combo1->itemText(i);
    return items;
}

QStringList numbered(int n)
{
    QStringList names;
    for (int i = 1; i <= n; ++i)
        names << QString::number(i);
    return names;
}

const QStringList abc{"English", "French", "German"};

} // namespace

class DialogsSubtitlesTest : public QObject {
    Q_OBJECT
    Form2 *form = nullptr;
    FakeDvd *fd = nullptr;

    // Opens the dialog the way the user does, through the control window's S label.
    subtitles *open(const QStringList &table, int count, const Variant &current)
    {
        for (int i = 0; i < table.size(); ++i)
            Module1::subtitleLanguage(i + 1) = table.at(i);
        Module1::SubtitleStreamCount = std::int16_t(count);
        const QString op = QStringLiteral("CurrentSubpictureStream");
        current.isEmpty() ? fd->fails(op) : fd->returns(op, current);
        app::runHandler([this] { form->Subs_Click(); });
        return app::Forms::loaded<subtitles>();
    }

private slots:
    void initTestCase() { windowtest::setUp(); }
    void init()
    {
        windowtest::reset();
        form = &windowtest::showControlWindow();
        fd = FakeDvd::current();
        fd->clearCalls();
    }

    void load_data()
    {
        QTest::addColumn<QStringList>("table");
        QTest::addColumn<int>("count");
        QTest::addColumn<Variant>("current"); // Empty: the read fails
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<int>("selected");

        QTest::newRow("three, stream 2") << abc << 3 << Variant::fromInt32(2) << abc << 1;
        QTest::newRow("stream 0") << abc << 3 << Variant::fromInt32(0) << abc << -1;
        QTest::newRow("stream beyond the count") << abc << 3 << Variant::fromInt32(4) << abc << -1;
        QTest::newRow("unreadable stream") << abc << 3 << Variant() << abc << -1;
        QTest::newRow("count below the table") << abc << 2 << Variant::fromInt32(2) << abc.mid(0, 2) << 1;
        QTest::newRow("count 0") << abc << 0 << Variant::fromInt32(1) << QStringList() << -1;
        QTest::newRow("negative count") << abc << -3 << Variant::fromInt32(1) << QStringList() << -1;
        const QStringList gap{"English", "", "German"};
        QTest::newRow("empty entry") << gap << 3 << Variant::fromInt32(2) << gap << 1;
        QTest::newRow("count above 50") << numbered(50) << 77 << Variant::fromInt32(50) << numbered(50) << 49;
    }
    void load()
    {
        QFETCH(QStringList, table);
        QFETCH(int, count);
        QFETCH(Variant, current);
        QFETCH(QStringList, items);
        QFETCH(int, selected);

        subtitles *dlg = open(table, count, current);
        QVERIFY(dlg && dlg->isVisible() && windowtest::msgBoxes().isEmpty()); // it always opens, quietly
        QCOMPARE(fd->callNames(), QStringList{"CurrentSubpictureStream"});
        QCOMPARE(listed(dlg), items);
        QCOMPARE(dlg->Combo1->currentIndex(), selected);
        QCOMPARE(dlg->focusWidget(), dlg->Command1);
    }

    void done_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("pick"); // "#n": list position n; other text is typed into the field
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("written");

        QTest::newRow("keep stream 2") << 2 << "" << false << 2;
        QTest::newRow("choose C") << 2 << "#2" << false << 3;
        QTest::newRow("nothing selected") << 0 << "" << false << 0;
        QTest::newRow("text typed over the choice") << 2 << "Klingon" << false << 0;
        QTest::newRow("control refuses the stream") << 2 << "#0" << true << 1;
    }
    void done()
    {
        QFETCH(int, current);
        QFETCH(QString, pick);
        QFETCH(bool, refused);
        QFETCH(int, written);

        QPointer<subtitles> dlg = open(abc, 3, Variant::fromInt32(current));
        if (refused)
            fd->fails(QStringLiteral("CurrentSubpictureStream="));
        if (pick.startsWith(QLatin1Char('#')))
            dlg->Combo1->setCurrentIndex(pick.mid(1).toInt());
        else
            QTest::keyClicks(dlg->Combo1->lineEdit(), pick);
        fd->clearCalls();
        QTest::mouseClick(dlg->Command1, Qt::LeftButton);
        windowtest::settle();

        QCOMPARE(fd->callNames(), QStringList{"CurrentSubpictureStream="});
        QCOMPARE(fd->calls.first().args, QList<Variant>{Variant::fromInt32(written)});
        QVERIFY(dlg.isNull() && windowtest::msgBoxes().isEmpty()); // closed whatever the control said, quietly
    }

    void leavingWithoutDone()
    {
        QPointer<subtitles> dlg = open(abc, 3, Variant::fromInt32(1));
        fd->clearCalls();
        // Neither the default nor the cancel button: Enter and Escape do nothing.
        QTest::keyClick(dlg->Combo1->lineEdit(), Qt::Key_Return);
        QTest::keyClick(dlg->Combo1->lineEdit(), Qt::Key_Escape);
        windowtest::settle();
        QVERIFY(dlg && dlg->isVisible());
        QCOMPARE(listed(dlg), abc); // Enter inserted nothing
        // The title-bar close button writes nothing.
        dlg->close();
        windowtest::settle();
        QVERIFY(dlg.isNull());
        QCOMPARE(fd->calls.size(), 0);
    }

    void reopening()
    {
        QPointer<subtitles> first = open(abc, 3, Variant::fromInt32(3));
        first->Combo1->setCurrentIndex(0);
        // The status poll moves on while the dialog is open: shown again, not refilled.
        QCOMPARE(open({"Dutch", "Danish"}, 2, Variant::fromInt32(1)), first.data());
        QCOMPARE(fd->count(QStringLiteral("CurrentSubpictureStream")), 1);
        QCOMPARE(listed(first), abc);
        QCOMPARE(first->Combo1->currentIndex(), 0);
        // After Done the next opening loads the table as it is now.
        QTest::mouseClick(first->Command1, Qt::LeftButton);
        windowtest::settle();
        QVERIFY(first.isNull() && !app::Forms::loaded<subtitles>());
        subtitles *second = open({"Dutch", "Danish"}, 2, Variant::fromInt32(1));
        QCOMPARE(listed(second), (QStringList{"Dutch", "Danish"}));
        QCOMPARE(second->Combo1->currentIndex(), 0);
    }
};

QTEST_MAIN(DialogsSubtitlesTest)
#include "tst_dialogs_subtitles.moc"
