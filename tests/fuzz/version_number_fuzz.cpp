// Version texts come from the server and from "pkg.ver" on disk. Reading one
// must never overflow (UndefinedBehaviorSanitizer watches the arithmetic) and
// must give the C library's reading of the same text, held to 32 bits.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "fuzz/fuzz_check.h"
#include "workflow/version_number.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int32_t value = ReadVersionNumber(text);

  // strtoll stops at a zero byte just as the version reading stops at any
  // character that is not a digit; it saturates at 64 bits, which is beyond
  // the 32-bit limits the reading holds to anyway.
  errno = 0;
  long long wide = std::strtoll(text.c_str(), nullptr, 10);
  if (wide > std::numeric_limits<int32_t>::max()) wide = std::numeric_limits<int32_t>::max();
  if (wide < std::numeric_limits<int32_t>::min()) wide = std::numeric_limits<int32_t>::min();
  FUZZ_CHECK(value == wide, std::to_string(value) + " expected " + std::to_string(wide) + " for " +
                                fuzz::Shown(text));
  return 0;
}
