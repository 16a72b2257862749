// The manifest comes from the server (checked against the configuration's
// SHA-256, but the publisher's tool may be wrong): reading it must never
// crash, a manifest that is accepted must write back to the same text and
// read back to the same entries, and every accepted name must be one the
// install folder can hold.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/relative_name.h"
#include "fuzz/fuzz_check.h"
#include "unpack/package_manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  PackageManifest manifest;
  std::string error;
  if (ParseManifest(text, &manifest, &error)) {
    const std::string written = FormatManifest(manifest);
    FUZZ_CHECK(written == text, "manifest does not write back to its text: " + fuzz::Shown(text));
    PackageManifest again;
    FUZZ_CHECK(ParseManifest(written, &again, &error), "written manifest refused: " + error);
    FUZZ_CHECK(again.entries.size() == manifest.entries.size(), fuzz::Shown(text));
    for (size_t i = 0; i < manifest.entries.size(); ++i) {
      const ManifestEntry& e = manifest.entries[i];
      FUZZ_CHECK(again.entries[i] == e, "entry changed on the round trip: " + e.name);
      FUZZ_CHECK(e.method == 0 || e.method == 8, e.name);
      FUZZ_CHECK(e.dataOffset + e.compressedSize <= manifest.DataEnd(), e.name);
      FUZZ_CHECK(base::RelativeNameProblem(e.name).empty(), e.name);
    }
  } else {
    FUZZ_CHECK(!error.empty(), "refused without a reason: " + fuzz::Shown(text));
  }

  // The name rules on the raw text as one name.
  const std::string problem = base::RelativeNameProblem(text);
  const std::string folded = base::FoldedName(text);
  FUZZ_CHECK(base::FoldedName(folded) == folded, "folding twice changes the name: " + fuzz::Shown(text));
  if (problem.empty()) {
    FUZZ_CHECK(text[0] != '/' && text.find('\\') == std::string::npos, fuzz::Shown(text));
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
      if (i < text.size() && text[i] != '/') continue;
      const std::string part = text.substr(start, i - start);
      FUZZ_CHECK(!part.empty() && part != "." && part != "..", "component accepted: " + fuzz::Shown(text));
      FUZZ_CHECK(part.back() != '.' && part.back() != ' ', "Windows would cut: " + fuzz::Shown(text));
      start = i + 1;
    }
  }
  return 0;
}
