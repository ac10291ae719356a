// Random use of the whole program on the real engine and the sample disc:
// clicks on every button, the Subs label and the dialogs' controls, key presses
// (access keys, Tab, Enter, Escape, arrows), window close requests, and status
// ticks in between. After every event the control window's rules must hold, and
// the user-interface thread must never stall for more than a second.
//
// ORVANTA_MONKEY_SEED      replay a run (the seed is printed at the start)
// ORVANTA_MONKEY_SECONDS   the time budget (default 30)
// ORVANTA_MONKEY_CLICKS    the fewest clicks a run must make (default 5000)
// ORVANTA_MONKEY_STALL_MS  the longest stall allowed (default 1000; sanitizer builds run slower)

#include "app/ClickableLabel.h"
#include "app/Failure.h"
#include "app/Form.h"
#include "app/MessageBox.h"
#include "playback/engine/Engine.h"
#include "playback/disc/FactsHelper.h"
#include "startup/frmSplash.h"
#include "windows/control/Form2.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

const QString kDisc = QStringLiteral(ORVANTA_SAMPLE_DISC "/plain.iso");

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Beats on the user-interface thread; a second thread measures the longest gap.
class Watchdog {
public:
    Watchdog()
    {
        m_beat.store(nowMs());
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_beat.store(nowMs()); });
        m_timer.start(20);
        m_thread = std::thread([this] {
            while (!m_stop.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                const std::int64_t gap = nowMs() - m_beat.load();
                if (gap > m_longest.load())
                    m_longest.store(gap);
                // A thread that is stuck for good would only end at the test's timeout, with no word why.
                if (gap > 20000)
                    qFatal("the user-interface thread has not answered for 20 s");
            }
        });
    }
    ~Watchdog()
    {
        m_stop.store(true);
        m_thread.join();
    }
    // The longest gap since the last call, in milliseconds.
    std::int64_t takeLongest()
    {
        m_beat.store(nowMs());
        return m_longest.exchange(0);
    }

private:
    QTimer m_timer;
    std::atomic<std::int64_t> m_beat{0};
    std::atomic<std::int64_t> m_longest{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

const char *const kWindowClasses[] = {"frmSplash", "dvdw", "Form2", "subtitles", "dvdinfo", "frmAbout"};

QList<app::Form *> loadedForms(const char *className)
{
    QList<app::Form *> found;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *f = qobject_cast<app::Form *>(w);
        if (f && f->isLoaded() && qstrcmp(f->metaObject()->className(), className) == 0)
            found << f;
    }
    return found;
}

app::Form *loadedForm(const char *className) { return loadedForms(className).value(0); }

QList<QWidget *> visibleWindows()
{
    QList<QWidget *> visible;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible())
            visible << w;
    }
    return visible;
}

int envInt(const char *name, int fallback)
{
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
}

} // namespace

class MonkeyTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void randomUse();
    void cleanupTestCase();

private:
    // One random user action; returns true when it was a click.
    bool act();
    bool clickSomething();
    void pressKey();
    void closeSomeWindow();
    void start();
    // Empty when every rule holds, else what broke.
    QString brokenRule() const;

    QRandomGenerator m_random;
    QString m_last; // the action just taken, for failure messages
    int m_messageBoxes = 0;
    int m_starts = 0;
    int m_aboutBoxes = 0;
};

void MonkeyTest::initTestCase()
{
    // The offscreen platform says this each time a window is brought to the front.
    static const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
            if (!message.startsWith(QLatin1String("This plugin does not support raise()")))
                previous(type, context, message);
        });
    QVERIFY2(QFileInfo::exists(kDisc), "no sample disc: bench/monkey/run-monkey makes it");
    playback::installPlaybackEngine(kDisc);
    // A real message box would wait for a click; the run records it and goes on.
    app::setMsgBoxPresenter([this](const QString &, app::MsgBoxStyle, const QString &) { ++m_messageBoxes; });
    QApplication::setQuitOnLastWindowClosed(false);
}

void MonkeyTest::cleanupTestCase()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<app::Form *>(w); f && f->isLoaded())
            f->Unload();
}

// Launch as main() does: the splash window hands over to the player windows.
void MonkeyTest::start()
{
    ++m_starts;
    app::runHandler([] { app::Forms::show<frmSplash>(); });
    if (m_random.bounded(4) != 0)
        QTest::keyClick(app::Forms::loaded<frmSplash>(), Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(app::Forms::loaded<Form2>(), 3000);
}

bool MonkeyTest::clickSomething()
{
    QList<QWidget *> targets;
    if (Form2 *f = app::Forms::loaded<Form2>()) {
        for (QAbstractButton *b : {f->Command1, f->Command2, f->Command3, f->Command4, f->Command5, f->Command6,
                                   f->Command7, f->Command8, f->Command9, f->Command10, f->Command11, f->Command12,
                                   f->Command13})
            targets << b;
        targets << f->Subs;
    }
    if (app::Form *d = loadedForm("subtitles")) {
        if (auto *combo = d->findChild<QComboBox *>(QStringLiteral("Combo1")); combo && combo->count() > 0
            && m_random.bounded(2)) {
            const int index = int(m_random.bounded(combo->count()));
            m_last = QStringLiteral("pick subtitle entry %1").arg(index);
            combo->setCurrentIndex(index);
            emit combo->activated(index);
            return true;
        }
        targets << d->findChild<QAbstractButton *>(QStringLiteral("Command1"));
    }
    if (app::Form *d = loadedForm("dvdinfo")) {
        if (auto *list = d->findChild<QListWidget *>(QStringLiteral("File")); list && list->count() > 0
            && m_random.bounded(2)) {
            const int index = int(m_random.bounded(list->count()));
            m_last = QStringLiteral("pick file %1").arg(index);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(index)).center());
            return true;
        }
        targets << d->findChild<QAbstractButton *>(QStringLiteral("Command1"));
    }
    targets.removeAll(nullptr);
    QList<QWidget *> clickable;
    for (QWidget *w : targets) {
        if (w->isVisible() && w->isEnabled())
            clickable << w;
    }
    if (clickable.isEmpty())
        return false;
    QWidget *target = clickable.at(int(m_random.bounded(clickable.size())));
    m_last = QStringLiteral("click %1 in %2").arg(target->objectName(), target->window()->objectName());
    QTest::mouseClick(target, Qt::LeftButton);
    return true;
}

void MonkeyTest::pressKey()
{
    static const std::pair<int, Qt::KeyboardModifiers> keys[] = {
        {Qt::Key_Tab, Qt::NoModifier},   {Qt::Key_Tab, Qt::ShiftModifier}, {Qt::Key_Return, Qt::NoModifier},
        {Qt::Key_Enter, Qt::NoModifier}, {Qt::Key_Escape, Qt::NoModifier}, {Qt::Key_Space, Qt::NoModifier},
        {Qt::Key_Left, Qt::NoModifier},  {Qt::Key_Right, Qt::NoModifier},  {Qt::Key_Up, Qt::NoModifier},
        {Qt::Key_Down, Qt::NoModifier},  {Qt::Key_A, Qt::AltModifier},     {Qt::Key_M, Qt::AltModifier},
        {Qt::Key_N, Qt::AltModifier},    {Qt::Key_C, Qt::AltModifier},     {Qt::Key_D, Qt::AltModifier},
        {Qt::Key_S, Qt::NoModifier},
    };
    const auto &[key, modifiers] = keys[m_random.bounded(int(std::size(keys)))];
    QWidget *target = QApplication::activeModalWidget();
    if (!target)
        target = QApplication::focusWidget();
    if (!target) {
        const QList<QWidget *> visible = visibleWindows();
        if (visible.isEmpty())
            return;
        target = visible.at(int(m_random.bounded(visible.size())));
    }
    m_last = QStringLiteral("key %1 (modifiers %2) on %3")
                 .arg(QKeySequence(key).toString())
                 .arg(int(modifiers))
                 .arg(target->objectName());
    QTest::keyClick(target, Qt::Key(key), modifiers);
}

void MonkeyTest::closeSomeWindow()
{
    const QList<QWidget *> windows = visibleWindows();
    if (windows.isEmpty())
        return;
    QWidget *w = windows.at(int(m_random.bounded(windows.size())));
    m_last = QStringLiteral("close request to %1 (%2)").arg(w->objectName(), QLatin1String(w->metaObject()->className()));
    w->close(); // what the window manager's close button asks
}

bool MonkeyTest::act()
{
    if (app::Forms::loadedCount() == 0) {
        m_last = QStringLiteral("start again");
        start();
        return false;
    }
    const quint32 dice = m_random.bounded(100);
    if (dice < 75)
        return clickSomething();
    if (dice < 93) {
        pressKey();
    } else if (dice < 96) {
        closeSomeWindow();
    } else if (Form2 *f = app::Forms::loaded<Form2>()) {
        m_last = QStringLiteral("status tick");
        f->Timer1_Timer(); // the timer runs on its own too; this packs ticks between clicks
    }
    return false;
}

QString MonkeyTest::brokenRule() const
{
    for (const char *name : kWindowClasses) {
        if (const qsizetype instances = loadedForms(name).size(); instances > 1)
            return QStringLiteral("%1 instances of %2").arg(instances).arg(QLatin1String(name));
    }
    Form2 *f = app::Forms::loaded<Form2>();
    if (!f)
        return {};
    const int icons = int(!f->Image12->isHidden()) + int(!f->Image13->isHidden()) + int(!f->Image14->isHidden())
        + int(!f->Image15->isHidden()) + int(!f->Image16->isHidden());
    if (icons != 1)
        return QStringLiteral("%1 status icons visible").arg(icons);
    static const QStringList speeds{QStringLiteral("x1"), QStringLiteral("x2"), QStringLiteral("x4"),
                                    QStringLiteral("x8")};
    if (!speeds.contains(f->Speed->text()))
        return QStringLiteral("speed shows \"%1\"").arg(f->Speed->text());
    if (f->Image11->isHidden() == (f->Muted != 0))
        return QStringLiteral("mute icon %1 while Muted is %2")
            .arg(f->Image11->isHidden() ? QStringLiteral("hidden") : QStringLiteral("shown"))
            .arg(f->Muted);
    return {};
}

void MonkeyTest::randomUse()
{
    bool seedGiven = false;
    const quint32 seed = quint32(qEnvironmentVariableIntValue("ORVANTA_MONKEY_SEED", &seedGiven));
    const quint32 used = seedGiven ? seed : quint32(QDateTime::currentMSecsSinceEpoch());
    m_random.seed(used);
    const int seconds = envInt("ORVANTA_MONKEY_SECONDS", 30);
    const int fewestClicks = envInt("ORVANTA_MONKEY_CLICKS", 5000);
    const int allowedStallMs = envInt("ORVANTA_MONKEY_STALL_MS", 1000);
    qInfo("monkey seed %u (replay with ORVANTA_MONKEY_SEED=%u), %d s, at least %d clicks", used, used, seconds,
          fewestClicks);

    start();
    Watchdog watchdog;
    // The About box is modal (opened by a click, an access key or Enter on its
    // button): the run waits in it until this presses OK, as a user would.
    QTimer aboutCloser;
    connect(&aboutCloser, &QTimer::timeout, this, [this] {
        app::Form *about = loadedForm("frmAbout");
        if (!about || !about->isVisible() || m_random.bounded(3) != 0)
            return;
        ++m_aboutBoxes;
        if (auto *ok = about->findChild<QAbstractButton *>(QStringLiteral("cmdOK")); ok && m_random.bounded(4) != 0)
            QTest::mouseClick(ok, Qt::LeftButton);
        else
            QTest::keyClick(about, m_random.bounded(2) ? Qt::Key_Escape : Qt::Key_Return);
    });
    aboutCloser.start(15);
    QElapsedTimer clock;
    clock.start();
    int clicks = 0, events = 0;
    std::int64_t longestStall = 0;
    QString longestAfter;
    // The clicks must all happen, but a slow machine may take longer than the budget for them.
    const qint64 hardLimitMs = qint64(seconds) * 1000 * 3;
    while ((clock.elapsed() < qint64(seconds) * 1000 || clicks < fewestClicks) && clock.elapsed() < hardLimitMs) {
        if (act())
            ++clicks;
        ++events;
        // Let queued work, timers and the engine's events run, as between real user actions.
        QCoreApplication::processEvents();
        if (events % 50 == 0)
            QTest::qWait(int(m_random.bounded(1, 60)));
        const QString broken = brokenRule();
        if (!broken.isEmpty())
            QFAIL(qPrintable(QStringLiteral("after event %1 (%2), seed %3: %4").arg(events).arg(m_last).arg(used).arg(broken)));
        const std::int64_t stall = watchdog.takeLongest();
        if (stall > longestStall) {
            longestStall = stall;
            longestAfter = m_last;
        }
        QVERIFY2(stall <= allowedStallMs, qPrintable(QStringLiteral("the user-interface thread stalled %1 ms at event %2 (%3), seed %4")
                                                         .arg(stall).arg(events).arg(m_last).arg(used)));
    }
    qInfo("monkey: %d events, %d clicks, %d starts, %d About boxes, %d message boxes, longest stall %lld ms (%s), %lld ms",
          events, clicks, m_starts, m_aboutBoxes, m_messageBoxes, static_cast<long long>(longestStall),
          qPrintable(longestAfter), static_cast<long long>(clock.elapsed()));
    QVERIFY2(clicks >= fewestClicks, qPrintable(QStringLiteral("only %1 clicks in the time allowed").arg(clicks)));
}

int main(int argc, char **argv)
{
    // The engine reads disc facts by starting this program again as its helper.
    if (const std::optional<int> status = playback::disc::runFactsHelperIfAsked(argc, argv))
        return *status;
    QApplication app(argc, argv);
    MonkeyTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "monkey.moc"
