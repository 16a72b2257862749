// The ledger "pkg.files" is read from the install folder, and the keep-local
// patterns come from the configuration: neither may crash the reading, an
// accepted ledger must write back to the same text and find each of its
// files, and the pattern match must agree with a plain recursive matcher.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/relative_name.h"
#include "fuzz/fuzz_check.h"
#include "install/installed_files.h"
#include "install/keep_local.h"

namespace {

// The oracle: '*' any run, '?' one code point, on folded code points.
bool Oracle(const std::u32string& n, size_t i, const std::u32string& p, size_t j, int& budget) {
  if (--budget < 0) return false;
  if (j == p.size()) return i == n.size();
  if (p[j] == U'*') {
    for (size_t k = i; k <= n.size(); ++k)
      if (Oracle(n, k, p, j + 1, budget)) return true;
    return false;
  }
  return i < n.size() && (p[j] == U'?' || p[j] == n[i]) && Oracle(n, i + 1, p, j + 1, budget);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  InstalledFiles ledger;
  std::string error;
  if (ParseInstalledFiles(text, &ledger, &error)) {
    FUZZ_CHECK(FormatInstalledFiles(ledger) == text, "ledger does not write back: " + fuzz::Shown(text));
    for (const InstalledFile& f : ledger.files) {
      FUZZ_CHECK(base::RelativeNameProblem(f.name).empty(), f.name);
      FUZZ_CHECK(ledger.Find(f.name) == &f, "a listed file is not found as itself: " + f.name);
    }
  } else {
    FUZZ_CHECK(!error.empty(), "refused without a reason: " + fuzz::Shown(text));
  }

  // "pattern\nname": the pattern list and one name.
  const size_t split = text.find('\n');
  if (split != std::string::npos && split <= 64 && text.size() - split <= 256) {
    const std::vector<std::string> patterns = ParseKeepLocal(text.substr(0, split));
    const std::string name = text.substr(split + 1);
    const bool kept = IsKeptLocal(name, patterns);
    bool expected = false;
    bool decided = true;
    for (const std::string& p : patterns) {
      FUZZ_CHECK(!p.empty() && p.find_first_of(";,\\") == std::string::npos, p);
      int budget = 200000;
      if (Oracle(base::FoldedCharacters(name), 0, base::FoldedCharacters(p), 0, budget)) expected = true;
      if (budget < 0) decided = false;
    }
    if (decided || expected) FUZZ_CHECK(kept == expected, "pattern match differs from the oracle: " + fuzz::Shown(text));
    FUZZ_CHECK(IsKeptLocal(name, {"*"}), fuzz::Shown(name));
  }
  return 0;
}
