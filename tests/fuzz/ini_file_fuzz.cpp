// The install configuration comes from a server: whatever its bytes, IniFile
// must keep only well-formed names, never store a key outside a section, and
// agree with its line grammar's regular expression.
#include <cstddef>
#include <cstdint>
#include <map>
#include <regex>
#include <string>

#include "fuzz/fuzz_check.h"
#include "workflow/ini_file.h"

namespace {

using fuzz::IsSpace;
using fuzz::IsWord;

bool IsNameChar(char c) { return IsWord(c) || c == '.' || c == '-'; }

bool IsName(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!IsNameChar(c)) return false;
  return true;
}

struct LineParts {
  bool ok = false;
  std::string section, key, value;
};

// The line grammar as its regular expression, fully matched: the oracle the
// product's one-pass reader is compared with. libstdc++'s breadth-first
// matcher (__polynomial) keeps the stack flat on lines of many kilobytes; the
// pattern has no back-references, and every group's extent is fixed by the
// text, so its groups are the ones the default matcher gives.
LineParts ReadLine(const std::string& l) {
  static const std::regex pattern(R"((\[([\w\.-]+)\]\s*)?(([\w\.-]+)=([^\s^;]*))?\s*(;.*)?)",
                                  std::regex::ECMAScript | std::regex_constants::__polynomial);
  LineParts r;
  std::smatch m;
  if (!std::regex_match(l, m, pattern)) return r;
  r.ok = true;
  r.section = m[2].str();
  r.key = m[4].str();
  r.value = m[5].str();
  return r;
}

struct Expected {
  std::map<std::string, std::map<std::string, std::string>> sections;
  std::string error;
  std::string current;
};

Expected Read(const std::string& text) {
  Expected e;
  size_t start = 0;
  bool last = false;
  while (!last) {
    size_t lf = text.find('\n', start);
    last = lf == std::string::npos;
    std::string line = text.substr(start, last ? std::string::npos : lf - start);
    start = lf + 1;
    LineParts p = ReadLine(line);
    if (!p.ok) {
      e.error = "error format: " + line;
      break;
    }
    if (!p.section.empty()) e.current = p.section;
    if (!p.key.empty()) {
      if (e.current.empty()) {
        e.error = "must start with section: " + line;
        break;
      }
      e.sections[e.current][p.key] = p.value;
    }
  }
  return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  IniFile ini(text);

  for (const auto& section : ini.sections) {
    FUZZ_CHECK(IsName(section.first), "section name " + fuzz::Shown(section.first));
    // A section comes into being only with its first key.
    FUZZ_CHECK(!section.second.empty(), "empty section " + fuzz::Shown(section.first));
    for (const auto& pair : section.second) {
      FUZZ_CHECK(IsName(pair.first), "key " + fuzz::Shown(pair.first));
      for (char c : pair.second)
        FUZZ_CHECK(!IsSpace(c) && c != '^' && c != ';', "value " + fuzz::Shown(pair.second));
      FUZZ_CHECK(ini.Get(section.first, pair.first, "\x01 absent") == pair.second, pair.first);
    }
  }
  FUZZ_CHECK(ini.currentSection.empty() || IsName(ini.currentSection),
             "current section " + fuzz::Shown(ini.currentSection));
  FUZZ_CHECK(ini.error.empty() || ini.error.rfind("error format: ", 0) == 0 ||
                 ini.error.rfind("must start with section: ", 0) == 0,
             "error " + fuzz::Shown(ini.error));
  // After a failure no further line is taken.
  if (!ini.error.empty()) FUZZ_CHECK(!ini.ParseLine("[x]k=v"), "line accepted after an error");

  const Expected want = Read(text);
  FUZZ_CHECK(ini.error == want.error,
             "error " + fuzz::Shown(ini.error) + " expected " + fuzz::Shown(want.error));
  FUZZ_CHECK(ini.sections == want.sections, "sections differ for " + fuzz::Shown(text));
  FUZZ_CHECK(ini.currentSection == want.current, "current section " + fuzz::Shown(ini.currentSection));
  return 0;
}
