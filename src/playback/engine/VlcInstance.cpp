#include "playback/engine/VlcInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <vlc/vlc.h>

#include <cstdarg>
#include <mutex>
#include <vector>

namespace playback::engine {

namespace {

// libvlc talks a lot on stderr; the program keeps no log, so its messages are dropped.
void dropLogMessage(void *, int, const libvlc_log_t *, const char *, va_list) {}

libvlc_instance_t *createInstance()
{
    std::vector<const char *> args = {
        "--quiet",
        "--no-video-title-show",   // no file name painted over the picture
        "--no-metadata-network-access",
        "--no-stats",
        "--no-snapshot-preview",
        "--no-osd",
        // The player holds the screen saver off itself, once, while a disc plays;
        // libvlc would take a second hold of its own while its window is open.
        "--no-disable-screensaver",
    };
    // On X11 the plain xcb output is much cheaper than software OpenGL and needs no GL context.
    // The media player does not inherit --vout, so libvlc would still pick its OpenGL output:
    // --no-xlib rules out every Xlib-based module (GLX, EGL on X11, VA-API/VDPAU on X11),
    // leaving the xcb outputs. It also keeps Mesa from writing its shader cache into the
    // user's home, and each new player from holding on to another GL context.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        args.push_back("--vout=xcb_x11");
        args.push_back("--no-xlib");
    }
    libvlc_instance_t *instance = libvlc_new(static_cast<int>(args.size()), args.data());
    if (instance)
        libvlc_log_set(instance, dropLogMessage, nullptr);
    return instance;
}

} // namespace

bool soundOutputAvailable()
{
    if (qEnvironmentVariableIsSet("PULSE_SERVER"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()
        && (QFileInfo::exists(runtime + QStringLiteral("/pulse/native"))
            || QFileInfo::exists(runtime + QStringLiteral("/pipewire-0"))))
        return true;
    return !QDir(QStringLiteral("/dev/snd")).entryList({QStringLiteral("pcmC*p")}, QDir::System).isEmpty();
}

libvlc_instance_t *vlcInstance()
{
    static std::once_flag once;
    static libvlc_instance_t *instance = nullptr;
    std::call_once(once, [] { instance = createInstance(); });
    return instance;
}

} // namespace playback::engine
