#include "workflow/ini_file.h"

#include "base/char_classes.h"

namespace {

bool IsNameChar(char c) { return base::IsWordChar(c) || c == '.' || c == '-'; }

struct LineParts {
  bool ok = false;
  std::string section, key, value;
};

// One line is, each part optional and in this order: "[section]" with
// trailing white space, "key=value" (no blanks around "=", the value ends at
// white space, "^" or ";"), white space, and a ";" comment without CR. No
// part can hand characters to the next one, so one left-to-right pass
// decides. In a CRLF file a line carrying a comment is thus refused, while a
// CR after a header or a value is taken as white space.
LineParts ReadLine(const std::string& l) {
  LineParts r;
  const size_t n = l.size();
  size_t i = 0;
  if (i < n && l[i] == '[') {
    size_t j = i + 1;
    while (j < n && IsNameChar(l[j])) ++j;
    if (j == i + 1 || j >= n || l[j] != ']') return r;
    r.section = l.substr(i + 1, j - i - 1);
    i = j + 1;
    while (i < n && base::IsSpaceChar(l[i])) ++i;
  }
  size_t j = i;
  while (j < n && IsNameChar(l[j])) ++j;
  if (j > i && j < n && l[j] == '=') {
    r.key = l.substr(i, j - i);
    size_t k = j + 1;
    while (k < n && !base::IsSpaceChar(l[k]) && l[k] != '^' && l[k] != ';') ++k;
    r.value = l.substr(j + 1, k - j - 1);
    i = k;
  }
  while (i < n && base::IsSpaceChar(l[i])) ++i;
  if (i < n && l[i] == ';') {
    for (++i; i < n; ++i)
      if (l[i] == '\r' || l[i] == '\n') return r;
  }
  r.ok = i == n;
  return r;
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
  LineParts parts = ReadLine(line);
  if (!parts.ok) {
    error = "error format: " + line;
    return false;
  }
  if (!parts.section.empty()) currentSection = parts.section;
  if (!parts.key.empty()) {
    if (currentSection.empty()) {
      error = "must start with section: " + line;
      return false;
    }
    sections[currentSection][parts.key] = parts.value;
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
