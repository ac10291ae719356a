// Measures what one status-poll tick costs on the GUI thread: the control
// window's Timer1_Timer called directly while the disc plays, the event loop
// running between ticks so the engine, painting and the picture go on as in
// the program. Prints the median, percentiles and the worst tick.
//
//   orvanta-statuspoll-bench [--fake] [--ticks N] [--spacing MS] DISC
//
// --fake polls the scripted test double instead of the engine (no DISC then):
// the cost of the window's own work without the engine's answers.
// Exit status 1 when the median is 1 ms or more, or the worst tick 5 ms or more.

#include "app/Failure.h"
#include "app/Form.h"
#include "app/MessageBox.h"
#include "playback/Engine.h"
#include "support/FakeDvd.h"
#include "windows/control/Form2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace {

void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        runEventsFor(10);
    }
    return true;
}

void scriptFake(FakeDvd *fd)
{
    using playback::Variant;
    fd->returns(QStringLiteral("CurrentTime"), Variant::fromString(QStringLiteral("00:01:15:12")));
    fd->returns(QStringLiteral("TotalTitleTime"), Variant::fromString(QStringLiteral("00:05:00:00")));
    fd->returns(QStringLiteral("CurrentTitle"), Variant::fromInt32(1));
    fd->returns(QStringLiteral("CurrentChapter"), Variant::fromInt32(2));
    fd->returns(QStringLiteral("SubpictureStreamsAvailable"), Variant::fromInt32(3));
    fd->language(1, QStringLiteral("English"));
    fd->language(2, QStringLiteral("French"));
    fd->language(3, QStringLiteral("German"));
}

double ms(qint64 ns) { return double(ns) / 1e6; }

// CPU time of this thread: set beside the wall time, it tells a slow tick from
// one that was only waiting for a core.
qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

} // namespace

int main(int argc, char **argv)
{
    bool fake = false;
    int ticks = 1000;
    int spacingMs = 20;
    QString disc;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--fake"))
            fake = true;
        else if (!std::strcmp(argv[i], "--ticks") && i + 1 < argc)
            ticks = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--spacing") && i + 1 < argc)
            spacingMs = std::max(0, std::atoi(argv[++i]));
        else
            disc = QString::fromLocal8Bit(argv[i]);
    }
    if (!fake && disc.isEmpty()) {
        std::fprintf(stderr, "usage: orvanta-statuspoll-bench [--fake] [--ticks N] [--spacing MS] DISC\n");
        return 2;
    }

    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    // A message box would wait for a click that never comes: count them.
    int messageBoxes = 0;
    app::setMsgBoxPresenter([&](const QString &text, app::MsgBoxStyle, const QString &) {
        ++messageBoxes;
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
    });
    if (fake)
        FakeDvd::install();
    else
        playback::installPlaybackEngine(disc);

    Form2 &form = app::Forms::show<Form2>();
    form.Timer1->stop(); // the benchmark ticks by hand
    if (fake) {
        scriptFake(FakeDvd::current());
    } else {
        form.Command1_Click();
        // Only the poll writes Chap: tick until it shows that the disc plays.
        const bool started = waitFor(
            [&] {
                form.Timer1_Timer();
                return form.Chap->text() == QLatin1String("Chapter 1");
            },
            10000);
        if (messageBoxes || !started) {
            std::fprintf(stderr, "the disc did not start playing\n");
            return 2;
        }
    }
    // Warm up caches and the first paints.
    for (int i = 0; i < 20; ++i) {
        form.Timer1_Timer();
        runEventsFor(spacingMs);
    }

    std::vector<qint64> costs, cpu;
    costs.reserve(std::size_t(ticks));
    cpu.reserve(std::size_t(ticks));
    QElapsedTimer clock;
    for (int i = 0; i < ticks; ++i) {
        const qint64 cpuBefore = threadCpuNs();
        clock.start();
        app::runHandler([&] { form.Timer1_Timer(); }); // the way Timer1's tick reaches it
        costs.push_back(clock.nsecsElapsed());
        cpu.push_back(threadCpuNs() - cpuBefore);
        runEventsFor(spacingMs);
    }
    const QString lastShown = QStringLiteral("%1:%2:%3 %4 of %5")
                                  .arg(form.Label1[0]->text(), form.Label1[1]->text(), form.Label1[2]->text(),
                                       form.Chap->text(), form.Label3->text());
    app::Forms::unload<Form2>();

    std::vector<qint64> sorted = costs;
    std::sort(sorted.begin(), sorted.end());
    auto at = [&](double q) { return sorted[std::min(sorted.size() - 1, std::size_t(q * double(sorted.size())))]; };
    const qint64 median = at(0.5), worst = sorted.back();
    qint64 sum = 0;
    for (qint64 c : costs)
        sum += c;
    std::printf("status poll, %s, %d ticks %d ms apart (last shown: %s)\n", fake ? "test double" : "engine", ticks,
                spacingMs, qPrintable(lastShown));
    std::printf("  median %.3f ms  mean %.3f ms  p90 %.3f ms  p99 %.3f ms  worst %.3f ms  best %.3f ms\n", ms(median),
                ms(sum / qint64(costs.size())), ms(at(0.9)), ms(at(0.99)), ms(worst), ms(sorted.front()));
    std::vector<std::size_t> order(costs.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return costs[a] > costs[b]; });
    std::printf("  slowest ticks (wall / CPU):");
    for (std::size_t i = 0; i < std::min<std::size_t>(5, order.size()); ++i)
        std::printf(" #%zu %.3f/%.3f ms", order[i], ms(costs[order[i]]), ms(cpu[order[i]]));
    std::printf("\n  worst CPU time of a tick %.3f ms\n", ms(*std::max_element(cpu.begin(), cpu.end())));
    const bool ok = median < 1'000'000 && worst < 5'000'000 && messageBoxes == 0;
    std::printf("  target median < 1 ms, worst < 5 ms: %s\n", ok ? "met" : "NOT met");
    return ok ? 0 : 1;
}
