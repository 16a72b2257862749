#include "package_layout.h"

#include <algorithm>
#include <codecvt>
#include <cstdint>
#include <locale>
#include <memory>
#include <map>
#include <set>

#include "base/relative_name.h"
#include "unpack/zip_entry_rules.h"
#include "unzip.h"

namespace {

std::string FoldCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string WithSlashes(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

struct ZipCloser {
  void operator()(void* zip) const { unzClose(zip); }
};

}  // namespace

bool PackageLayout::HasFile(const std::string& relative) const {
  const std::string want = FoldCase(WithSlashes(relative));
  for (const std::string& f : files)
    if (FoldCase(f) == want) return true;
  return false;
}

PackageLayout ReadPackageLayout(const std::string& zipPath) {
  PackageLayout layout;
  std::unique_ptr<void, ZipCloser> zip(unzOpen64(zipPath.c_str()));
  if (!zip) {
    layout.openError = "it is not a zip archive the launcher can open";
    return layout;
  }
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(zip.get(), &global) != UNZ_OK) {
    layout.openError = "its central directory cannot be read";
    return layout;
  }
  if (global.number_entry == 0) {
    layout.openError = "it holds no entries";
    return layout;
  }
  std::wstring_convert<std::codecvt_utf8<wchar_t>> utf8;
  std::set<std::string> top;
  std::map<std::string, std::string> folded;  // folded name -> the first entry's name
  uint64_t index = 0;
  for (int rc = unzGoToFirstFile(zip.get()); index < global.number_entry; rc = unzGoToNextFile(zip.get()), ++index) {
    unz_file_info64 info{};
    char raw[65536];
    if (rc != UNZ_OK ||
        unzGetCurrentFileInfo64(zip.get(), &info, raw, sizeof raw, nullptr, 0, nullptr, 0) != UNZ_OK) {
      layout.openError = "its central directory cannot be read at entry " + std::to_string(index + 1) + " of " +
                         std::to_string(global.number_entry);
      return layout;
    }
    const std::string stored(raw, std::min<size_t>(info.size_filename, sizeof raw - 1));
    std::wstring wide;
    try {
      wide = utf8.from_bytes(stored);
    } catch (const std::range_error&) {
      layout.refused.push_back(stored + ": the name is not UTF-8 (the launcher would write it garbled)");
      continue;
    }
    std::wstring cleaned = zip_rules::CleanEntryName(wide);
    const uint32_t attributes =
        zip_rules::EntryAttributes(static_cast<uint16_t>(info.version), static_cast<uint32_t>(info.external_fa));
    const bool folder = (attributes & zip_rules::kDirectory) || (!cleaned.empty() && (cleaned.back() == L'/' || cleaned.back() == L'\\'));
    if (cleaned.empty()) {
      layout.refused.push_back(stored + ": no name is left once drive letters and leading separators are cut");
      continue;
    }
    if (zip_rules::NameLeavesFolder(cleaned)) {
      layout.refused.push_back(stored + ": it leads outside the install folder");
      continue;
    }
    std::string name = WithSlashes(utf8.to_bytes(cleaned));
    if (!folder) {
      std::string why = zip_rules::UnsupportedDataReason(static_cast<uint16_t>(info.flag),
                                                         static_cast<uint16_t>(info.compression_method));
      if (!why.empty()) {
        layout.refused.push_back(stored + ": " + why + " (store or deflate it, without a password)");
        continue;
      }
      auto first = folded.emplace(base::FoldedName(name), name);
      if (!first.second) {
        layout.refused.push_back(stored + ": it differs from the entry " + first.first->second +
                                 " only in letter case, and Windows writes both to one file (rename one)");
        continue;
      }
      layout.files.push_back(name);
    }
    size_t slash = name.find('/');
    top.insert(slash == std::string::npos ? name : name.substr(0, slash + 1));
  }
  layout.topLevel.assign(top.begin(), top.end());
  return layout;
}
