#include "workflow/query_pairs.h"

#include <vector>

#include "base/char_classes.h"
#include "base/strings.h"

std::string QueryPairs::Get(const std::string& key) const {
  auto it = values.find(key);
  return it == values.end() ? std::string() : it->second;
}

namespace {

// Each piece between "&" gives at most one pair: the key is the run of word
// characters right before the first "=" that follows one, so leading junk
// ("a b=c") is tolerated. The value keeps any further "=" and stops at CR or
// LF. Runs end at non-word characters, so the first such "=" decides.
bool ReadPiece(const std::string& piece, std::string& key, std::string& value) {
  for (size_t eq = piece.find('='); eq != std::string::npos; eq = piece.find('=', eq + 1)) {
    if (eq == 0 || !base::IsWordChar(piece[eq - 1])) continue;
    size_t start = eq;
    while (start > 0 && base::IsWordChar(piece[start - 1])) --start;
    key = piece.substr(start, eq - start);
    size_t end = piece.find_first_of("\r\n", eq + 1);
    value = piece.substr(eq + 1, end == std::string::npos ? std::string::npos : end - eq - 1);
    return true;
  }
  return false;
}

}  // namespace

QueryPairs ParseQueryPairs(const std::string& text) {
  std::vector<std::string> pieces;
  base::Split(text, "&", pieces);
  QueryPairs pairs;
  std::string key, value;
  for (const std::string& piece : pieces)
    if (ReadPiece(piece, key, value)) pairs.values[key] = value;
  return pairs;
}
