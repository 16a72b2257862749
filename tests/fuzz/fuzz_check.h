#pragma once
// A property that a fuzz target checks on every input. A broken property
// aborts, so libFuzzer stores the input as a crash artifact like any
// sanitizer finding.
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(cond, what)                                                         \
  do {                                                                                 \
    if (!(cond)) {                                                                     \
      std::fprintf(stderr, "property broken at %s:%d: %s\n  (%s)\n", __FILE__, __LINE__, \
                   #cond, std::string(what).c_str());                                  \
      std::abort();                                                                    \
    }                                                                                  \
  } while (0)

namespace fuzz {

// Printable form of a byte string for the failure message.
inline std::string Shown(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

// The ECMAScript classes the parsers' patterns use, for char in the "C" locale.
inline bool IsWord(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
inline bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace fuzz
