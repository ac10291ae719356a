// The About box: the version text built at every opening, the ways to close
// it, and that it is modal: the control window takes no clicks while it is open.
#include "app/Failure.h"
#include "app/Form.h"
#include "support/FakeDvd.h"
#include "support/WindowTest.h"
#include "windows/control/Form2.h"
#include "windows/dialogs/dvdinfo.h"
#include "windows/dialogs/frmAbout.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

class DialogsAboutTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { windowtest::setUp(); }
    void init() { windowtest::reset(); }
    void cleanupTestCase() { windowtest::reset(); }

    void versionText_data();
    void versionText();
    void opening_data();
    void opening();
    void modal();

private:
    Form2 &controlWindow()
    {
        Form2 &form = app::Forms::show<Form2>();
        form.Timer1->stop();
        return form;
    }

    // Opens the box from the control window and runs `inside` while its modal
    // loop runs; `inside` must close it. Returns once Command7_Click has returned.
    // A box left open is closed after a few seconds so that a fault cannot hang the test.
    bool openAndRun(Form2 &form, const std::function<void(frmAbout &)> &inside)
    {
        bool leftOpen = false;
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [&] {
            leftOpen = true;
            app::Forms::unload<frmAbout>();
        });
        guard.start(5000);
        QTimer::singleShot(0, this, [&] {
            if (frmAbout *box = app::Forms::loaded<frmAbout>())
                inside(*box);
        });
        app::runHandler([&] { form.Command7_Click(); });
        guard.stop();
        windowtest::settle();
        return !leftOpen;
    }

    // A click as the window system delivers it, so that modality applies.
    static void systemClick(QWidget *w)
    {
        QWindow *window = w->window()->windowHandle();
        QTest::mouseClick(window, Qt::LeftButton, {}, window->mapFromGlobal(w->mapToGlobal(w->rect().center())));
    }
};

void DialogsAboutTest::versionText_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("text");

    QTest::newRow("12.3.45") << 12 << 3 << 45 << "Version 12.3.45";
    QTest::newRow("2.0.0") << 2 << 0 << 0 << "Version 2.0.0";
    QTest::newRow("zero major") << 0 << 10 << 7 << "Version 0.10.7";
    QTest::newRow("largest") << 32767 << 32767 << 32767 << "Version 32767.32767.32767";
}

void DialogsAboutTest::versionText()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, text);
    QCOMPARE(::versionText(std::int16_t(major), std::int16_t(minor), std::int16_t(revision)), text);
}

void DialogsAboutTest::opening_data()
{
    QTest::addColumn<QString>("way"); // how the box is closed, each time
    QTest::newRow("OK clicked") << "click";
    QTest::newRow("Enter") << "enter";
    QTest::newRow("keypad Enter") << "keypad-enter";
    QTest::newRow("Space") << "space";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("title-bar close") << "close";
}

void DialogsAboutTest::opening()
{
    QFETCH(QString, way);
    Form2 &form = controlWindow();

    QList<frmAbout *> instances;
    for (int opening = 1; opening <= 3; ++opening) {
        QString shown;
        bool modal = false, focused = false, visible = false;
        const bool closed = openAndRun(form, [&](frmAbout &box) {
            instances << &box;
            shown = box.lblVersion->text();
            visible = box.isVisible();
            modal = box.windowModality() == Qt::ApplicationModal;
            focused = box.focusWidget() == box.cmdOK;
            if (way == QLatin1String("click"))
                QTest::mouseClick(box.cmdOK, Qt::LeftButton);
            else if (way == QLatin1String("enter"))
                QTest::keyClick(box.cmdOK, Qt::Key_Return);
            else if (way == QLatin1String("keypad-enter"))
                QTest::keyClick(box.cmdOK, Qt::Key_Enter, Qt::KeypadModifier);
            else if (way == QLatin1String("space"))
                QTest::keyClick(box.cmdOK, Qt::Key_Space);
            else if (way == QLatin1String("escape"))
                QTest::keyClick(box.cmdOK, Qt::Key_Escape);
            else
                box.close();
        });
        QVERIFY2(closed, "the box did not close");
        QVERIFY(visible);
        QVERIFY(modal);
        QVERIFY(focused);
        // Rebuilt at every opening, never appended to.
        QCOMPARE(shown, QStringLiteral("Version 2.0.0"));
        QVERIFY(!app::Forms::loaded<frmAbout>());
    }
    QCOMPARE(instances.size(), 3);
    QCOMPARE(windowtest::msgBoxes().size(), 0);
}

void DialogsAboutTest::modal()
{
    Form2 &form = controlWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // Without the box, the same click opens the disc information dialog.
    systemClick(form.Command13);
    QVERIFY(app::Forms::loaded<dvdinfo>());
    app::Forms::unload<dvdinfo>();
    windowtest::settle();

    int aboutOpenings = 0;
    bool infoOpenedUnderTheBox = true;
    const bool closed = openAndRun(form, [&](frmAbout &box) {
        ++aboutOpenings;
        systemClick(form.Command13);
        QCoreApplication::processEvents();
        infoOpenedUnderTheBox = app::Forms::loaded<dvdinfo>() != nullptr;
        QTest::mouseClick(box.cmdOK, Qt::LeftButton);
    });
    QVERIFY(closed);
    QCOMPARE(aboutOpenings, 1);
    QVERIFY(!infoOpenedUnderTheBox);
    QVERIFY(!app::Forms::loaded<dvdinfo>());

    // After OK the control window takes clicks again.
    systemClick(form.Command13);
    QVERIFY(app::Forms::loaded<dvdinfo>());
}

QTEST_MAIN(DialogsAboutTest)
#include "tst_dialogs_about.moc"
