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
  std::vector<std::string> pieces;
  base::Split(text, "&", pieces);
  QueryPairs pairs;
  for (const std::string& piece : pieces) {
    std::smatch match;
    if (!std::regex_search(piece, match, pattern)) continue;
    pairs.values[match[1].str()] = match[2].str();
  }
  return pairs;
}
