// Plays a disc over and over with the program's own windows and engine, the
// status poll running, and samples the resident memory. Fails (exit 1) when
// the memory grows by more than the allowed amount after the warm-up minute.
//
//   orvanta-soak DISC [SECONDS] [ALLOWED_GROWTH_KB]

#include "app/Application.h"
#include "app/Failure.h"
#include "app/Form.h"
#include "app/MessageBox.h"
#include "playback/engine/Engine.h"
#include "playback/disc/FactsHelper.h"
#include "playback/engine/VlcPlaybackControl.h"
#include "startup/frmSplash.h"
#include "windows/control/Form2.h"
#include "windows/video/dvdw.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    // The engine reads disc facts by starting this program again as its helper.
    if (const std::optional<int> status = playback::disc::runFactsHelperIfAsked(argc, argv))
        return *status;
    if (argc < 2) {
        std::fprintf(stderr, "usage: orvanta-soak DISC [SECONDS] [ALLOWED_GROWTH_KB]\n");
        return 2;
    }
    const QString disc = QString::fromLocal8Bit(argv[1]);
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 660;
    const long allowedKb = argc > 3 ? std::atol(argv[3]) : 5 * 1024;
    constexpr int kWarmUpSeconds = 60;
    constexpr int kSampleSeconds = 10;

    app::Application application(argc, argv);
    app::Application::setQuitOnLastWindowClosed(false);
    // A message box would wait for a click that never comes; count them instead.
    int messageBoxes = 0;
    app::setMsgBoxPresenter([&](const QString &text, app::MsgBoxStyle, const QString &) {
        ++messageBoxes;
        std::printf("message box: %s\n", qPrintable(text));
    });

    playback::installPlaybackEngine(disc);
    app::runHandler([] { app::Forms::show<frmSplash>(); });

    QElapsedTimer clock;
    clock.start();
    int plays = 0;
    int ticksSeen = 0;
    QString lastPosition;

    // Once a second: when nothing plays (start, end of the disc), press Play
    // as the user would. The control window's own timer runs the status poll.
    QTimer replay;
    QObject::connect(&replay, &QTimer::timeout, [&] {
        Form2 *form = app::Forms::loaded<Form2>();
        dvdw *video = app::Forms::loaded<dvdw>();
        if (!form || !video)
            return;
        auto *engine = qobject_cast<playback::engine::VlcPlaybackControl *>(video->dvd);
        if (engine && !engine->isLoaded()) {
            form->Command1->click();
            ++plays;
        }
        const QString position = form->Label1[0]->text() + QLatin1Char(':') + form->Label1[1]->text()
            + QLatin1Char(':') + form->Label1[2]->text();
        if (position != lastPosition)
            ++ticksSeen;
        lastPosition = position;
    });
    replay.start(1000);

    std::vector<std::pair<int, long>> samples;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const int t = int(clock.elapsed() / 1000);
        const long kb = residentKb();
        samples.emplace_back(t, kb);
        std::printf("t=%4d s  RSS %7ld kB  plays %d  position %s\n", t, kb, plays, qPrintable(lastPosition));
        std::fflush(stdout);
        // Not quit(): Qt first asks every window to close, and the video window refuses.
        if (t >= seconds)
            QCoreApplication::exit(0);
    });
    sampler.start(kSampleSeconds * 1000);

    application.exec();

    long atWarmUp = -1, peakAfter = -1, first = samples.empty() ? -1 : samples.front().second;
    for (const auto &[t, kb] : samples) {
        if (t >= kWarmUpSeconds && atWarmUp < 0)
            atWarmUp = kb;
        if (t >= kWarmUpSeconds)
            peakAfter = std::max(peakAfter, kb);
    }
    const long last = samples.empty() ? -1 : samples.back().second;
    std::printf("\nsoak: %d s, %d plays, %d position changes seen, %d message boxes\n", seconds, plays, ticksSeen,
                messageBoxes);
    std::printf("RSS first sample %ld kB, at %d s %ld kB, peak after %ld kB, last %ld kB\n", first, kWarmUpSeconds,
                atWarmUp, peakAfter, last);
    if (atWarmUp < 0) {
        std::printf("FAIL: ran shorter than the warm-up\n");
        return 1;
    }
    const long growth = peakAfter - atWarmUp;
    std::printf("growth after warm-up: %ld kB (allowed %ld kB)\n", growth, allowedKb);
    if (growth > allowedKb || plays < 2 || ticksSeen < 10) {
        std::printf("FAIL\n");
        return 1;
    }
    std::printf("PASS\n");
    return 0;
}
