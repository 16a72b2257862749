#pragma once
// "&"-separated key=value text, such as the user information of a web launch
// ("uid=...&skey=..."). Works on 8-bit text; free of windows.h.
#include <map>
#include <string>

struct QueryPairs {
  // The value of `key`, or an empty string when it is absent.
  std::string Get(const std::string& key) const;

  std::map<std::string, std::string> values;
};

// Never fails: pieces without "word=" are skipped, a later key replaces an earlier one.
QueryPairs ParseQueryPairs(const std::string& text);
