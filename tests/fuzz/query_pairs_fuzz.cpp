// The user information of a web launch comes from a web page. Whatever the
// text, ParseQueryPairs keeps only keys that are runs of word characters, and
// each piece between "&" gives the pair a plain left-to-right reading finds.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "fuzz/fuzz_check.h"
#include "workflow/query_pairs.h"

namespace {

using fuzz::IsWord;

// The leftmost "word=": the first run of word characters directly followed by
// "=". Its value runs to the end of the piece or the first CR or LF.
bool ReadPiece(const std::string& piece, std::string& key, std::string& value) {
  for (size_t eq = piece.find('='); eq != std::string::npos; eq = piece.find('=', eq + 1)) {
    if (eq == 0 || !IsWord(piece[eq - 1])) continue;
    size_t start = eq;
    while (start > 0 && IsWord(piece[start - 1])) --start;
    // A word run that ends earlier and is followed by "=" would have been found
    // first; runs end at non-word characters, so the first qualifying "=" wins.
    key = piece.substr(start, eq - start);
    size_t end = piece.find_first_of("\r\n", eq + 1);
    value = piece.substr(eq + 1, end == std::string::npos ? std::string::npos : end - eq - 1);
    return true;
  }
  return false;
}

std::map<std::string, std::string> Read(const std::string& text) {
  std::map<std::string, std::string> pairs;
  size_t start = 0;
  for (;;) {
    size_t amp = text.find('&', start);
    std::string piece = text.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
    std::string key, value;
    if (ReadPiece(piece, key, value)) pairs[key] = value;
    if (amp == std::string::npos) break;
    start = amp + 1;
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
