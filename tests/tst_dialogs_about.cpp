// The About box: the version text, built afresh at every opening, the ways to
// close it, and modality: the control window takes no clicks while it is open.
#include "app/Failure.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"
#include "windows/dialogs/dvdinfo.h"
#include "windows/dialogs/frmAbout.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

class DialogsAboutTest : public QObject {
    Q_OBJECT
    Form2 *form = nullptr;

    // Clicks About and runs `inside` in the box's modal loop; `inside` closes the
    // box. False when the box was left open (it is then closed after a while).
    bool openAndRun(const std::function<void(frmAbout &)> &inside)
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
    // A click as the window system delivers it, so that modality applies.
    static void systemClick(QWidget *w)
    {
        QWindow *window = w->window()->windowHandle();
        QTest::mouseClick(window, Qt::LeftButton, {}, window->mapFromGlobal(w->mapToGlobal(w->rect().center())));
    }

private slots:
    void initTestCase() { windowtest::setUp(); }
    void init()
    {
        windowtest::reset();
        form = &windowtest::showControlWindow();
    }

    void versionText_data()
    {
        QTest::addColumn<QList<int>>("v");
        QTest::addColumn<QString>("text");
        QTest::newRow("12.3.45") << QList<int>{12, 3, 45} << "Version 12.3.45";
        QTest::newRow("zero major") << QList<int>{0, 10, 7} << "Version 0.10.7";
        QTest::newRow("largest") << QList<int>{32767, 32767, 32767} << "Version 32767.32767.32767";
    }
    void versionText()
    {
        QFETCH(QList<int>, v);
        QFETCH(QString, text);
        QCOMPARE(::versionText(std::int16_t(v[0]), std::int16_t(v[1]), std::int16_t(v[2])), text);
    }

    void opening_data()
    {
        QTest::addColumn<int>("key"); // 0: the title-bar close button
        QTest::newRow("Space") << int(Qt::Key_Space);
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("title-bar close") << 0;
    }
    void opening()
    {
        QFETCH(int, key);
        for (int opening = 1; opening <= 2; ++opening) {
            QString shown;
            bool modalWithFocus = false;
            QVERIFY2(openAndRun([&](frmAbout &box) {
                         shown = box.lblVersion->text();
                         modalWithFocus = box.isModal() && box.isVisible() && box.focusWidget() == box.cmdOK;
                         key ? QTest::keyClick(box.cmdOK, Qt::Key(key)) : void(box.close());
                     }),
                     "the box did not close");
            QVERIFY(modalWithFocus);
            QCOMPARE(shown, QStringLiteral("Version 2.0.0")); // rebuilt, not appended to
        }
    }

    void modal()
    {
        QVERIFY(QTest::qWaitForWindowExposed(form));
        bool infoOpened = true;
        QVERIFY(openAndRun([&](frmAbout &box) {
            systemClick(form->Command13);
            infoOpened = app::Forms::loaded<dvdinfo>() != nullptr;
            QTest::mouseClick(box.cmdOK, Qt::LeftButton);
        }));
        QVERIFY(!infoOpened);
        // After OK the same click reaches the control window again.
        systemClick(form->Command13);
        QVERIFY(app::Forms::loaded<dvdinfo>());
    }
};

QTEST_MAIN(DialogsAboutTest)
#include "tst_dialogs_about.moc"
