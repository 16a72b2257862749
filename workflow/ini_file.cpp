#include "workflow/ini_file.h"

#include <regex>

namespace {

// One line is, each part optional and in this order: "[section]" with
// trailing white space, "key=value" (no blanks around "=", the value ends at
// white space, "^" or ";"), white space, and a ";" comment. ECMAScript's "."
// does not match CR, so in a CRLF file a line carrying a comment is refused,
// while a CR after a header or a value is taken as white space.
//
// libstdc++'s default matcher recurses once per character of a repeated
// part, so a line of a few thousand bytes from the server would overflow the
// UI thread's stack. Its breadth-first matcher (__polynomial) keeps the stack
// flat; it cannot do back-references, which the pattern has none of, and its
// groups are the same here because every group's extent is fixed by the text.
const std::regex& LinePattern() {
  // Compiled once and kept for the process: it is used for every line.
  static const std::regex pattern(R"((\[([\w\.-]+)\]\s*)?(([\w\.-]+)=([^\s^;]*))?\s*(;.*)?)",
                                  std::regex::ECMAScript | std::regex_constants::__polynomial);
  return pattern;
}

}  // namespace

IniFile::IniFile(const std::string& text) {
  size_t start = 0;
  for (;;) {
    size_t lf = text.find('\n', start);
    if (lf == std::string::npos) break;
    if (!ParseLine(text.substr(start, lf - start))) return;
    start = lf + 1;
  }
  // The piece after the last LF is parsed too, even when empty; a failure
  // there still leaves its message in `error`.
  ParseLine(text.substr(start));
}

bool IniFile::ParseLine(const std::string& line) {
  if (!error.empty()) return false;
  std::smatch match;
  if (!std::regex_match(line, match, LinePattern())) {
    error = "error format: " + line;
    return false;
  }
  if (match[2].length() > 0) currentSection = match[2].str();
  if (match[4].length() > 0) {
    if (currentSection.empty()) {
      error = "must start with section: " + line;
      return false;
    }
    sections[currentSection][match[4].str()] = match[5].str();
  }
  return true;
}

std::string IniFile::Get(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const {
  auto s = sections.find(section);
  if (s == sections.end()) return defaultValue;
  auto k = s->second.find(key);
  if (k == s->second.end()) return defaultValue;
  return k->second;
}
