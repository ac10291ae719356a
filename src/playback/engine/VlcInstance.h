#pragma once
// The process's one libvlc instance, created on first use and kept until exit.

struct libvlc_instance_t;

namespace playback::engine {

// nullptr when libvlc cannot start (missing plug-ins); callers report that per call.
libvlc_instance_t *vlcInstance();

} // namespace playback::engine
