#include "workflow/version_number.h"

#include <limits>

int32_t ReadVersionNumber(const std::string& text) {
  size_t i = 0;
  // The same white space as the C library's isspace in the "C" locale.
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate in 64 bits and stop growing once past the 32-bit range, so a
  // long run of digits from a server can neither overflow nor wrap around.
  const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                 : std::numeric_limits<int32_t>::max();
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > limit) value = limit;
  }
  return static_cast<int32_t>(negative ? -value : value);
}
