#include "playback/disc/DvdRead.h"

#include <cstdarg>

namespace playback::disc {

namespace {

void quietLog(void *, dvd_logger_level_t, const char *, va_list) {}
const dvd_logger_cb kQuietLogger = {quietLog};

} // namespace

DvdPtr openDvd(const char *path) { return DvdPtr(DVDOpen2(nullptr, &kQuietLogger, path)); }

} // namespace playback::disc
