#include "manifest_builder.h"

#include <openssl/evp.h>

#include <algorithm>
#include <codecvt>
#include <cstdint>
#include <cstdio>
#include <locale>
#include <memory>
#include <vector>

#include "base/relative_name.h"
#include "unpack/zip_entry_rules.h"
#include "unzip.h"

namespace {

struct ZipCloser {
  void operator()(void* zip) const { unzClose(zip); }
};

uint64_t FileSize(const std::string& path) {
  std::unique_ptr<std::FILE, decltype(&std::fclose)> f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f || fseeko(f.get(), 0, SEEK_END) != 0) return 0;
  off_t end = ftello(f.get());
  return end < 0 ? 0 : static_cast<uint64_t>(end);
}

// Reads the current entry's data through minizip: its size and SHA-256; the
// CRC is checked by minizip when the entry is closed after the last byte.
std::string HashEntry(void* zip, ManifestEntry* entry) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return "no SHA-256 here";
  std::vector<char> block(1 << 20);
  uint64_t total = 0;
  for (;;) {
    int got = unzReadCurrentFile(zip, block.data(), static_cast<unsigned>(block.size()));
    if (got < 0) {
      unzCloseCurrentFile(zip);
      return "its data cannot be inflated (minizip error " + std::to_string(got) + ")";
    }
    if (got == 0) break;
    EVP_DigestUpdate(ctx.get(), block.data(), static_cast<size_t>(got));
    total += static_cast<uint64_t>(got);
  }
  if (unzCloseCurrentFile(zip) == UNZ_CRCERROR) return "its data do not match its CRC-32";
  if (total != entry->size)
    return "it unpacks to " + std::to_string(total) + " bytes, not the " + std::to_string(entry->size) + " it names";
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(ctx.get(), entry->sha256.data(), &length) != 1 || length != entry->sha256.size())
    return "no SHA-256 here";
  return std::string();
}

}  // namespace

bool BuildPackageManifest(const std::string& zipPath, PackageManifest* manifest, std::string* error) {
  std::unique_ptr<void, ZipCloser> zip(unzOpen64(zipPath.c_str()));
  if (!zip) {
    *error = "it is not a zip archive the launcher can open";
    return false;
  }
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(zip.get(), &global) != UNZ_OK) {
    *error = "its central directory cannot be read";
    return false;
  }
  const uint64_t archiveSize = FileSize(zipPath);
  std::wstring_convert<std::codecvt_utf8<wchar_t>> utf8;
  PackageManifest built;
  uint64_t index = 0;
  for (int rc = unzGoToFirstFile(zip.get()); index < global.number_entry; rc = unzGoToNextFile(zip.get()), ++index) {
    unz_file_info64 info{};
    char raw[65536];
    if (rc != UNZ_OK ||
        unzGetCurrentFileInfo64(zip.get(), &info, raw, sizeof raw, nullptr, 0, nullptr, 0) != UNZ_OK) {
      *error = "its central directory cannot be read at entry " + std::to_string(index + 1);
      return false;
    }
    const std::string stored(raw, std::min<size_t>(info.size_filename, sizeof raw - 1));
    auto refuse = [&](const std::string& why) {
      *error = "the entry " + stored + ": " + why;
      return false;
    };
    std::wstring wide;
    try {
      wide = utf8.from_bytes(stored);
    } catch (const std::range_error&) {
      return refuse("the name is not UTF-8");
    }
    const std::wstring cleaned = zip_rules::CleanEntryName(wide);
    const uint32_t attributes =
        zip_rules::EntryAttributes(static_cast<uint16_t>(info.version), static_cast<uint32_t>(info.external_fa));
    const bool folder = (attributes & zip_rules::kDirectory) ||
                        (!cleaned.empty() && (cleaned.back() == L'/' || cleaned.back() == L'\\'));
    if (folder) continue;
    if (cleaned.empty()) return refuse("no name is left once drive letters and leading separators are cut");
    if (zip_rules::NameLeavesFolder(cleaned)) return refuse("it leads outside the install folder");
    const std::string why = zip_rules::UnsupportedDataReason(static_cast<uint16_t>(info.flag),
                                                             static_cast<uint16_t>(info.compression_method));
    if (!why.empty()) return refuse(why);
    ManifestEntry entry;
    entry.name = utf8.to_bytes(cleaned);
    std::replace(entry.name.begin(), entry.name.end(), '\\', '/');
    const std::string nameProblem = base::RelativeNameProblem(entry.name);
    if (!nameProblem.empty()) return refuse(nameProblem + " (the manifest names it " + entry.name + ")");
    entry.method = static_cast<uint16_t>(info.compression_method);
    entry.crc32 = static_cast<uint32_t>(info.crc);
    entry.compressedSize = info.compressed_size;
    entry.size = info.uncompressed_size;
    if (unzOpenCurrentFile(zip.get()) != UNZ_OK) return refuse("its local header cannot be read");
    // Right after opening, before any byte is read: the position of the
    // compressed data, past the local header and the local extra field (whose
    // length may differ from the central directory's).
    entry.dataOffset = unzGetCurrentFileZStreamPos64(zip.get());
    if (entry.dataOffset > archiveSize || entry.compressedSize > archiveSize - entry.dataOffset) {
      unzCloseCurrentFile(zip.get());
      return refuse("its data run past the end of the file");
    }
    const std::string hashProblem = HashEntry(zip.get(), &entry);
    if (!hashProblem.empty()) return refuse(hashProblem);
    built.entries.push_back(std::move(entry));
  }
  if (built.entries.empty()) {
    *error = "it holds no file";
    return false;
  }
  // The launcher's own reading decides the rest (two names that are one file,
  // data that overlap).
  if (ParseManifest(FormatManifest(built), manifest, error)) return true;
  const std::string prefix = "manifest: ";
  if (error->compare(0, prefix.size(), prefix) == 0) error->erase(0, prefix.size());
  return false;
}
