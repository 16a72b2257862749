// The log for the native checks. The launcher's log lives in a file under the
// roaming application-data folder, which needs Windows; the pure logic only
// uses Log for its formatted text, so here a line is formatted exactly as the
// launcher formats it (same buffer size, so the sanitizers see the same
// reads) and printed only when VORN_NATIVE_LOG is set.
#include <cstdio>
#include <cstdlib>

#include "base/log.h"

namespace {

constexpr size_t kMessageLimit = 4095;  // bytes including the terminator, as in the launcher

bool Printing() {
  static const bool printing = std::getenv("VORN_NATIVE_LOG") != nullptr;
  return printing;
}

}  // namespace

void LogOpen(const std::wstring&) {}

std::string LogV(const char* format, va_list args) {
  char buffer[kMessageLimit];
  int n = vsnprintf(buffer, sizeof buffer, format, args);
  std::string message = n < 0 ? std::string() : std::string(buffer);
  if (Printing()) std::fprintf(stderr, "log: %s\n", message.c_str());
  return message;
}

std::string Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = LogV(format, args);
  va_end(args);
  return message;
}

std::wstring LogPath() { return std::wstring(); }
