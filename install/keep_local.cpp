#include "install/keep_local.h"

#include "base/relative_name.h"

namespace {

// Wildcard match in one pass with one back-up point: after a '*' the pattern
// resumes there and the name one character later whenever the rest fails.
// O(pattern x name) at worst, no recursion.
bool Matches(const std::u32string& name, const std::u32string& pattern) {
  size_t n = 0, p = 0;
  size_t starAt = std::u32string::npos, resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == U'*') {
      starAt = p++;
      resumeAt = n;
    } else if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (starAt != std::u32string::npos) {
      p = starAt + 1;
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}

}  // namespace

std::vector<std::string> ParseKeepLocal(std::string_view value) {
  std::vector<std::string> patterns;
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find_first_of(";,", start);
    if (end == std::string_view::npos) end = value.size();
    std::string_view piece = value.substr(start, end - start);
    while (!piece.empty() && (piece.front() == ' ' || piece.front() == '\t')) piece.remove_prefix(1);
    while (!piece.empty() && (piece.back() == ' ' || piece.back() == '\t')) piece.remove_suffix(1);
    if (!piece.empty()) {
      std::string pattern(piece);
      for (char& c : pattern)
        if (c == '\\') c = '/';
      patterns.push_back(std::move(pattern));
    }
    start = end + 1;
  }
  return patterns;
}

bool IsKeptLocal(std::string_view name, const std::vector<std::string>& patterns) {
  if (patterns.empty()) return false;
  const std::u32string characters = base::FoldedCharacters(name);
  for (const std::string& pattern : patterns)
    if (Matches(characters, base::FoldedCharacters(pattern))) return true;
  return false;
}
