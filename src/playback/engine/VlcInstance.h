#pragma once
// The process's one libvlc instance, created on first use and kept until exit.
// Threads: any thread (the first call creates it, under std::call_once).

struct libvlc_instance_t;

namespace playback::engine {

// nullptr when libvlc cannot start (missing plug-ins); callers report that per call.
libvlc_instance_t *vlcInstance();

// Whether the machine has anywhere to play sound: an ALSA playback device or a
// PulseAudio/PipeWire server. Looked at again on each call (a headset may be
// plugged in later).
bool soundOutputAvailable();

} // namespace playback::engine
