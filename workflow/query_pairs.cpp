#include "workflow/query_pairs.h"

#include <regex>
#include <vector>

#include "base/strings.h"

std::string QueryPairs::Get(const std::string& key) const {
  auto it = values.find(key);
  return it == values.end() ? std::string() : it->second;
}

QueryPairs ParseQueryPairs(const std::string& text) {
  // Searched, not fully matched: the key is the run of word characters right
  // before the first "=" that follows one, so leading junk ("a b=c") is
  // tolerated. The value keeps any further "=" and stops at CR or LF.
  // Breadth-first matching (see ini_file.cpp): a long web-launch text must not
  // exhaust the stack.
  const std::regex pattern(R"((\w+)=(.*))",
                           std::regex::ECMAScript | std::regex_constants::__polynomial);
  // A search tries every start position and rescans the word run from each,
  // which is quadratic in a long run without "=" (8,000 characters took
  // seconds). A match can only start where a word run ends in "=", so the
  // search starts at the first such run, or is skipped when there is none.
  const std::regex_traits<char> traits;
  const char kWord[] = "w";
  const auto word = traits.lookup_classname(kWord, kWord + 1);
  auto isWord = [&](char c) { return traits.isctype(c, word); };
  std::vector<std::string> pieces;
  base::Split(text, "&", pieces);
  QueryPairs pairs;
  for (const std::string& piece : pieces) {
    size_t eq = piece.find('=');
    while (eq != std::string::npos && (eq == 0 || !isWord(piece[eq - 1]))) eq = piece.find('=', eq + 1);
    if (eq == std::string::npos) continue;
    size_t start = eq;
    while (start > 0 && isWord(piece[start - 1])) --start;
    std::smatch match;
    if (!std::regex_search(piece.cbegin() + start, piece.cend(), match, pattern)) continue;
    pairs.values[match[1].str()] = match[2].str();
  }
  return pairs;
}
