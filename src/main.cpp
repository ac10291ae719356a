#include "Version.h"
#include "app/Application.h"
#include "app/Failure.h"
#include "app/Form.h"
#include "app/MessageBox.h"
#include "playback/CommandLine.h"
#include "playback/engine/Engine.h"
#include "playback/disc/FactsHelper.h"
#include "startup/frmSplash.h"

#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

#include <unistd.h>

int main(int argc, char **argv)
{
    // The program started again to read a disc's facts (see disc/FactsHelper.h).
    if (const std::optional<int> status = playback::disc::runFactsHelperIfAsked(argc, argv))
        return *status;

    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    playback::CommandLine commandLine;
    QString out, err;
    if (auto status = playback::parseCommandLine(args, commandLine, out, err)) {
        QTextStream(stdout) << out;
        QTextStream(stderr) << err;
        // Started from the desktop (a file manager, the menu), nobody reads stderr.
        const bool display = qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
        if (*status != 0 && display && !::isatty(STDIN_FILENO) && !::isatty(STDERR_FILENO)) {
            app::Application application(argc, argv);
            const QString refusal = err.section(QLatin1Char('\n'), 0, 0).section(QStringLiteral(": "), 1);
            app::MsgBox(QStringLiteral("Orvanta Player cannot start: %1.").arg(refusal), app::vbCritical,
                        QStringLiteral("Orvanta Player"));
        }
        return *status;
    }

    // With no session bus to reach, libdbus would start one through X11 autolaunch
    // (when dbus-x11 is installed) that outlives the player. libdbus knows no
    // "disabled:" transport and fails at once, quietly, without starting anything.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus")))
            qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    }

    // libvlc 3 can only embed its picture in an X11 window; on Wayland run on XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    app::Application application(argc, argv);
    app::Application::setApplicationName(QStringLiteral("Orvanta Player"));
    app::Application::setApplicationVersion(QLatin1String(kVersion));
    app::Application::setQuitOnLastWindowClosed(false); // the window registry decides when the program ends
    QObject::connect(&app::Forms::instance(), &app::Forms::lastFormUnloaded, &application,
                     &QCoreApplication::quit, Qt::QueuedConnection);

    playback::installPlaybackEngine(commandLine.disc);
    app::runHandler([] { app::Forms::show<frmSplash>(); });
    if (app::Forms::loadedCount() == 0)
        return 1;
    return application.exec();
}
