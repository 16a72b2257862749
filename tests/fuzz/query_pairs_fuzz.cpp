// The user information of a web launch comes from a web page. Whatever the
// text, ParseQueryPairs keeps only keys that are runs of word characters, and
// each piece between "&" gives the pair the grammar's regular expression finds.
#include <cstddef>
#include <cstdint>
#include <map>
#include <regex>
#include <string>

#include "fuzz/fuzz_check.h"
#include "workflow/query_pairs.h"

namespace {

using fuzz::IsWord;

// The grammar's regular expression, searched in each piece between "&": the
// oracle the product's one-pass reader is compared with. The breadth-first
// matcher (__polynomial) keeps the stack flat on long pieces, and the search
// starts at the first word run that ends in "=": a match can start nowhere
// earlier, and restarting at every character of a long run is quadratic.
std::map<std::string, std::string> Read(const std::string& text) {
  static const std::regex pattern(R"((\w+)=(.*))",
                                  std::regex::ECMAScript | std::regex_constants::__polynomial);
  std::map<std::string, std::string> pairs;
  size_t from = 0;
  for (;;) {
    size_t amp = text.find('&', from);
    std::string piece = text.substr(from, amp == std::string::npos ? std::string::npos : amp - from);
    size_t eq = piece.find('=');
    while (eq != std::string::npos && (eq == 0 || !IsWord(piece[eq - 1]))) eq = piece.find('=', eq + 1);
    if (eq != std::string::npos) {
      size_t start = eq;
      while (start > 0 && IsWord(piece[start - 1])) --start;
      std::smatch match;
      if (std::regex_search(piece.cbegin() + start, piece.cend(), match, pattern))
        pairs[match[1].str()] = match[2].str();
    }
    if (amp == std::string::npos) break;
    from = amp + 1;
  }
  return pairs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  QueryPairs pairs = ParseQueryPairs(text);
  for (const auto& pair : pairs.values) {
    FUZZ_CHECK(!pair.first.empty(), "empty key");
    for (char c : pair.first) FUZZ_CHECK(IsWord(c), "key " + fuzz::Shown(pair.first));
    FUZZ_CHECK(pair.second.find_first_of("&\r\n") == std::string::npos,
               "value " + fuzz::Shown(pair.second));
    FUZZ_CHECK(pairs.Get(pair.first) == pair.second, pair.first);
  }
  const auto want = Read(text);
  FUZZ_CHECK(pairs.values == want, "pairs differ for " + fuzz::Shown(text));
  return 0;
}
