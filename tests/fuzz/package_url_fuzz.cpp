// The package URL pattern comes from the install configuration and is
// formatted with the server's version number. A pattern that the check
// accepts must format to exactly what printf makes of it, and the result must
// fit the launcher's 1,024-byte URL buffer with its terminating zero; a
// pattern the check refuses leaves no URL behind.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "workflow/package_url.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether the pattern is literal text, "%%" and exactly one "%[-+ 0]*W?(.P?)?d|i"
// with numbers that printf can take; fills `conversions` with their count.
bool IsSafePattern(const std::string& p, int& conversions) {
  conversions = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] != '%') continue;
    if (++i < p.size() && p[i] == '%') continue;
    while (i < p.size() && (p[i] == '-' || p[i] == '+' || p[i] == ' ' || p[i] == '0')) ++i;
    // Widths and precisions beyond 65535 cannot give a URL (and would only make
    // printf slow); a pattern with one is never to be accepted.
    long long number = 0;
    for (; i < p.size() && IsDigit(p[i]); ++i)
      if ((number = number * 10 + (p[i] - '0')) > 65535) return false;
    if (i < p.size() && p[i] == '.') {
      number = 0;
      for (++i; i < p.size() && IsDigit(p[i]); ++i)
        if ((number = number * 10 + (p[i] - '0')) > 65535) return false;
    }
    if (i >= p.size() || (p[i] != 'd' && p[i] != 'i')) return false;
    ++conversions;
  }
  return conversions == 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  int32_t version;
  std::memcpy(&version, data, 4);
  const std::string pattern(reinterpret_cast<const char*>(data) + 4, size - 4);

  std::string url = "stale", error = "stale";
  const bool ok = FormatPackageUrl(pattern, version, url, error);
  if (!ok) {
    FUZZ_CHECK(url.empty(), "refused but url " + fuzz::Shown(url));
    FUZZ_CHECK(!error.empty(), "refused without a reason: " + fuzz::Shown(pattern));
  } else {
    FUZZ_CHECK(error.empty(), "accepted with error " + error);
    FUZZ_CHECK(url.size() + 1 <= kPackageUrlBufferSize,
               "url of " + std::to_string(url.size()) + " bytes from " + fuzz::Shown(pattern));
  }

  int conversions = 0;
  // A zero byte would end the pattern for printf; the check must see it as text.
  const bool safe = pattern.find('\0') == std::string::npos && IsSafePattern(pattern, conversions);
  if (ok && pattern.find('\0') == std::string::npos) {
    FUZZ_CHECK(safe, "accepted an unsafe pattern " + fuzz::Shown(pattern));
  }
  if (safe) {
    // What printf makes of the pattern, in a buffer far larger than any URL.
    std::vector<char> buffer(1 << 16);
    int n = std::snprintf(buffer.data(), buffer.size(), pattern.c_str(), static_cast<int>(version));
    const bool fits = n >= 0 && static_cast<size_t>(n) < kPackageUrlBufferSize;
    FUZZ_CHECK(ok == fits, std::string(ok ? "accepted " : "refused ") + fuzz::Shown(pattern) +
                               " formatting to " + std::to_string(n) + " bytes");
    if (ok) {
      FUZZ_CHECK(url == std::string(buffer.data(), static_cast<size_t>(n)),
                 "url " + fuzz::Shown(url) + " from " + fuzz::Shown(pattern));
    }
  }
  return 0;
}
