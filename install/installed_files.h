#pragma once
// "pkg.files" in the install folder: the ledger of the files the last complete
// install or update wrote, one line per file with its size and SHA-256, so
// that a later update can fetch only what changed and a run can see what is
// missing or damaged. The text form is pure (no windows.h) and fuzzed; the
// file is written to a temporary beside it and moved over, so a killed run
// leaves the old ledger or the new one, whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/digest_text.h"

struct InstalledFile {
  std::string name;  // as in the package manifest: UTF-8, '/' between components
  uint64_t size = 0;
  Sha256Digest sha256{};

  bool operator==(const InstalledFile& other) const {
    return name == other.name && size == other.size && sha256 == other.sha256;
  }
};

struct InstalledFiles {
  std::vector<InstalledFile> files;

  // The file Windows would open under `name`: letter case is ignored, as the
  // file system ignores it (a package that renames "A.txt" to "a.txt" still
  // finds the file). Null when there is none. Looks up an index built on
  // first use and rebuilt when `files` grows, shrinks or moves; after editing
  // names in place, call ForgetIndex(). Not for use from two threads at once.
  const InstalledFile* Find(std::string_view name) const;
  void ForgetIndex() const { indexedData_ = nullptr; }

 private:
  mutable std::unordered_map<std::string, size_t> index_;
  mutable const InstalledFile* indexedData_ = nullptr;
  mutable size_t indexedCount_ = 0;
};

// One line per file, LF-terminated: <sha256, 64 lower hex> <size> <name>.
std::string FormatInstalledFiles(const InstalledFiles& ledger);
// Takes only the exact form FormatInstalledFiles writes (an empty text is a
// ledger of no files); names must pass base::RelativeNameProblem and be
// distinct ignoring letter case. Otherwise false with the reason in `error`
// and `ledger` untouched.
bool ParseInstalledFiles(std::string_view text, InstalledFiles* ledger, std::string* error);

// False when the file is missing ("error" empty) or unreadable or damaged
// ("error" says why): either way the run has no ledger to go by.
bool ReadInstalledFilesFile(const std::wstring& path, InstalledFiles* ledger, std::string* error);
// Writes "<path>.tmp", flushes it and moves it over `path`.
bool WriteInstalledFilesFile(const std::wstring& path, const InstalledFiles& ledger, std::string* error);
