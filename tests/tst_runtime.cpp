// The window runtime: single instances, modal showing and the end of the program.
// The failure modes are checked through the control window's handlers.
#include "app/Form.h"
#include "support/WindowTest.h"

#include <QTest>
#include <QTimer>

namespace {

int loads = 0;
int unloads = 0;

class Probe : public app::Form {
public:
    Probe() { ++constructed; }
    void Form_Load() override { ++loads; }
    void Form_Unload() override { ++unloads; }
    static inline int constructed = 0;
};

class Other : public app::Form {};

} // namespace

class RuntimeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { windowtest::setUp(); }
    void init()
    {
        windowtest::reset();
        loads = unloads = 0;
    }

    void singleInstance()
    {
        Probe &a = app::Forms::get<Probe>();
        QCOMPARE(&app::Forms::get<Probe>(), &a);
        QVERIFY(!a.isVisible()); // referencing loads without showing
        QCOMPARE(app::Forms::loaded<Other>(), nullptr);
        app::Forms::show<Probe>(); // showing a loaded window only raises it
        QVERIFY(a.isVisible());
        QCOMPARE(loads, 1);
    }

    void unloadThenReferenceLoadsAfresh_data()
    {
        QTest::addColumn<bool>("byClose");
        QTest::newRow("Unload") << false;
        QTest::newRow("close request") << true;
    }
    void unloadThenReferenceLoadsAfresh()
    {
        QFETCH(bool, byClose);
        const int before = Probe::constructed;
        Probe &p = app::Forms::show<Probe>();
        byClose ? void(p.close()) : p.Unload();
        QCOMPARE(unloads, 1);
        QCOMPARE(app::Forms::loaded<Probe>(), nullptr);
        app::Forms::get<Probe>();
        QCOMPARE(loads, 2);
        QCOMPARE(Probe::constructed, before + 2);
    }

    void modalShowWaitsWhileTimersTick()
    {
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(10);
        QTimer::singleShot(200, [] { app::Forms::unload<Probe>(); });
        app::Forms::showModal<Probe>(); // returns only after the unload
        QCOMPARE(app::Forms::loaded<Probe>(), nullptr);
        QVERIFY2(ticks >= 5, qPrintable(QStringLiteral("only %1 ticks in the modal loop").arg(ticks)));
    }
};

QTEST_MAIN(RuntimeTest)
#include "tst_runtime.moc"
