#include "workflow/ledger_rules.h"

#include <unordered_map>
#include <unordered_set>

#include "base/relative_name.h"
#include "install/keep_local.h"

namespace {

std::string FileKey(const std::string& name) { return base::FoldedName(name); }

}  // namespace

std::vector<std::string> LedgerFilesGone(const InstalledFiles& old, const std::vector<std::string>& newNames,
                                         const std::vector<std::string>& keepLocal) {
  std::unordered_set<std::string> kept;
  for (const std::string& name : newNames) kept.insert(FileKey(name));
  std::vector<std::string> gone;
  std::unordered_set<std::string> listed;
  for (const InstalledFile& file : old.files) {
    std::string key = FileKey(file.name);
    if (kept.count(key) || !listed.insert(key).second) continue;
    if (IsKeptLocal(file.name, keepLocal)) continue;
    gone.push_back(file.name);
  }
  return gone;
}

InstalledFiles LedgerAfterPartialUpdate(const InstalledFiles& old, const std::vector<InstalledFile>& placed) {
  InstalledFiles out = old;
  std::unordered_map<std::string, size_t> at;
  for (size_t i = 0; i < out.files.size(); ++i) at.emplace(FileKey(out.files[i].name), i);
  for (const InstalledFile& file : placed) {
    auto found = at.find(FileKey(file.name));
    if (found != at.end()) {
      out.files[found->second] = file;
    } else {
      at.emplace(FileKey(file.name), out.files.size());
      out.files.push_back(file);
    }
  }
  return out;
}

std::vector<LedgerMismatch> FindLedgerMismatches(const InstalledFiles& ledger, const std::vector<std::string>& keepLocal,
                                                 const std::function<ListedFileOnDisk(const std::string& name)>& disk) {
  std::vector<LedgerMismatch> out;
  for (const InstalledFile& file : ledger.files) {
    ListedFileOnDisk found = disk(file.name);
    LedgerMismatch mismatch;
    mismatch.name = file.name;
    if (found.kind == ListedFileOnDisk::kMissing) {
      mismatch.fault = LedgerMismatch::kMissing;
    } else if (IsKeptLocal(file.name, keepLocal)) {
      continue;  // the player's to change
    } else if (found.kind == ListedFileOnDisk::kNotAFile) {
      mismatch.fault = LedgerMismatch::kNotAFile;
    } else if (found.size != file.size) {
      mismatch.fault = LedgerMismatch::kWrongSize;
    } else {
      continue;
    }
    out.push_back(std::move(mismatch));
  }
  return out;
}
