#include "unpack/zip_archive.h"

#include <windows.h>

#include <climits>
#include <vector>

#include "base/error_text.h"
#include "base/fs.h"
#include "base/handles.h"
#include "base/text.h"
// unzip.h first: it brings zlib, whose macros iowin32.h relies on.
#include "unzip.h"
#include "unpack/file_replace.h"
#include "unpack/unpack_path.h"
#include "unpack/zip_file_io.h"
#include "unpack/zip_entry_rules.h"

namespace {

constexpr unsigned kBlockSize = 256 * 1024;

unzFile AsZip(void* zip) { return static_cast<unzFile>(zip); }

FILETIME ToFileTime(uint64_t value) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(value);
  ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return ft;
}

// The DOS stamp is the writer's local wall-clock time.
uint64_t DosStampToFileTime(uLong dosDate) {
  zip_rules::DosTimeFields f =
      zip_rules::SplitDosDateTime(static_cast<uint16_t>(dosDate >> 16), static_cast<uint16_t>(dosDate));
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(f.year);
  st.wMonth = static_cast<WORD>(f.month);
  st.wDay = static_cast<WORD>(f.day);
  st.wHour = static_cast<WORD>(f.hour);
  st.wMinute = static_cast<WORD>(f.minute);
  st.wSecond = static_cast<WORD>(f.second);
  FILETIME local, utc;
  if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc)) return 0;
  return (static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
}

std::string UnzipErrorText(int code) {
  switch (code) {
    case UNZ_ERRNO: return "read error";
    case UNZ_BADZIPFILE: return "damaged entry";
    case UNZ_CRCERROR: return "CRC mismatch";
    case UNZ_INTERNALERROR: return "out of memory";
    case UNZ_PARAMERROR: return "bad parameter";
    default: return "zlib error " + std::to_string(code);
  }
}

// The exact times live in the local header's extra field, which minizip hands
// out only for the entry opened for reading.
void ApplyLocalTimes(unzFile zip, ZipEntry* times) {
  int size = unzGetLocalExtrafield(zip, nullptr, 0);
  if (size <= 0) return;
  std::vector<unsigned char> extra(static_cast<size_t>(size));
  if (unzGetLocalExtrafield(zip, extra.data(), static_cast<unsigned>(size)) != size) return;
  zip_rules::UtTimes ut;
  if (!zip_rules::ParseUtExtra(extra.data(), extra.size(), &ut)) return;
  if (ut.hasWrite) times->writeTime = ut.writeTime;
  if (ut.hasAccess) times->accessTime = ut.accessTime;
  if (ut.hasCreation) times->creationTime = ut.creationTime;
}

}  // namespace

bool ZipArchive::Open(const std::wstring& path, std::string* error) {
  Close();
  zlib_filefunc64_def io;
  FillCachedWin32FileFunc(&io);
  std::wstring apiPath = ForFileApi(path);
  unzFile zip = unzOpen2_64(apiPath.c_str(), &io);
  if (!zip) {
    DWORD code = GetLastError();
    if (!base::PathExists(path))
      *error = "cannot be opened: " + base::ErrorText(code);
    else
      *error = "is no zip archive or is damaged";
    return false;
  }
  return Opened(zip, error);
}

bool ZipArchive::OpenHeld(void* held, std::string* error) {
  Close();
  zlib_filefunc64_def io;
  FillCachedHeldFileFunc(&io);
  unzFile zip = held && held != INVALID_HANDLE_VALUE ? unzOpen2_64(held, &io) : nullptr;
  if (!zip) {
    *error = held && held != INVALID_HANDLE_VALUE ? "is no zip archive or is damaged" : "cannot be opened";
    return false;
  }
  return Opened(zip, error);
}

bool ZipArchive::Opened(void* opened, std::string* error) {
  unzFile zip = AsZip(opened);
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(zip, &global) != UNZ_OK) {
    unzClose(zip);
    *error = "has an unreadable central directory";
    return false;
  }
  zip_ = zip;
  count_ = global.number_entry > static_cast<ZPOS64_T>(INT32_MAX) ? INT32_MAX
                                                                   : static_cast<int32_t>(global.number_entry);
  current_ = -1;
  brokenAt_ = -1;
  return true;
}

void ZipArchive::Close() {
  if (zip_) unzClose(AsZip(zip_));
  zip_ = nullptr;
  count_ = 0;
  current_ = -1;
  brokenAt_ = -1;
}

bool ZipArchive::GoTo(int32_t index, std::string* error) {
  if (!zip_ || index < 0 || index >= count_) {
    *error = "no such entry";
    return false;
  }
  // Once the central directory cannot be walked past some entry, every later
  // one is out of reach; failing them at once keeps a damaged archive from
  // costing a walk from the start per entry.
  if (brokenAt_ >= 0 && index >= brokenAt_) {
    *error = "the central directory cannot be read up to this entry";
    return false;
  }
  if (index == current_) return true;
  if (current_ < 0 || index < current_) {
    current_ = -1;
    if (unzGoToFirstFile(AsZip(zip_)) != UNZ_OK) {
      brokenAt_ = 0;
      *error = "the central directory cannot be read";
      return false;
    }
    current_ = 0;
  }
  while (current_ < index) {
    if (unzGoToNextFile(AsZip(zip_)) != UNZ_OK) {
      brokenAt_ = current_ + 1;
      current_ = -1;
      *error = "the central directory cannot be read up to this entry";
      return false;
    }
    ++current_;
  }
  return true;
}

bool ZipArchive::ReadEntry(int32_t index, ZipEntry* entry, std::string* error) {
  *entry = ZipEntry();
  if (!GoTo(index, error)) return false;
  unzFile zip = AsZip(zip_);
  unz_file_info64 info{};
  if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
    *error = "unreadable entry header";
    return false;
  }
  std::vector<char> rawName(info.size_filename + 1, 0);
  if (unzGetCurrentFileInfo64(zip, &info, rawName.data(), static_cast<uLong>(rawName.size()), nullptr, 0,
                              nullptr, 0) != UNZ_OK) {
    *error = "unreadable entry name";
    return false;
  }
  // Packages are built with UTF-8 names whether or not the writer set the
  // language-encoding flag, so the flag is not looked at.
  entry->name = zip_rules::CleanEntryName(base::ToWide(std::string(rawName.data()), base::kCodePageUtf8));
  entry->attributes = zip_rules::EntryAttributes(static_cast<uint16_t>(info.version),
                                                 static_cast<uint32_t>(info.external_fa));
  uint64_t stamp = DosStampToFileTime(info.dosDate);
  entry->creationTime = entry->accessTime = entry->writeTime = stamp;
  entry->size = info.uncompressed_size;
  entry->compressedSize = info.compressed_size;
  unz64_file_pos at{};
  if (unzGetFilePos64(zip, &at) != UNZ_OK) {
    *error = "unreadable entry position";
    return false;
  }
  entry->recordOffset = at.pos_in_zip_directory;
  entry->recordNumber = at.num_of_file;
  return true;
}

bool ZipArchive::GoToRecord(const ZipEntry& entry, std::string* error) {
  if (!zip_) {
    *error = "no such entry";
    return false;
  }
  unz64_file_pos at;
  at.pos_in_zip_directory = entry.recordOffset;
  at.num_of_file = entry.recordNumber;
  if (unzGoToFilePos64(AsZip(zip_), &at) != UNZ_OK) {
    current_ = -1;
    *error = "the central directory cannot be read at this entry";
    return false;
  }
  current_ = entry.recordNumber <= static_cast<uint64_t>(INT32_MAX) ? static_cast<int32_t>(entry.recordNumber) : -1;
  return true;
}

EntryOutcome ZipArchive::Extract(const ZipEntry& entry, const std::wstring& fullPath, bool freshFolder,
                                 std::string* error, Sha256Digest* digest) {
  if (entry.IsDirectory()) {
    *error = "a folder entry has no data";
    return EntryOutcome::kArchiveFault;
  }
  if (!GoToRecord(entry, error)) return EntryOutcome::kArchiveFault;
  unzFile zip = AsZip(zip_);
  unz_file_info64 info{};
  if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
    *error = "unreadable entry header";
    return EntryOutcome::kArchiveFault;
  }
  // Both are known before the file is touched: an entry that cannot be
  // decoded must not truncate the file it would replace.
  std::string refused = zip_rules::UnsupportedDataReason(static_cast<uint16_t>(info.flag),
                                                          static_cast<uint16_t>(info.compression_method));
  if (!refused.empty()) {
    *error = refused;
    return EntryOutcome::kArchiveFault;
  }
  // In a folder this job created, nothing can be in the way but a file the
  // job wrote itself: the checks for an existing file wait for that case.
  std::wstring api = ForFileApi(fullPath);
  bool exists = false;
  if (!freshFolder) exists = GetFileAttributesW(api.c_str()) != INVALID_FILE_ATTRIBUTES;

  // Without a hasher the file could not be accounted for: it is not touched.
  if (digest && !hasher_.Begin(error)) return EntryOutcome::kLocalFault;

  int rc = unzOpenCurrentFile(zip);
  if (rc != UNZ_OK) {
    *error = "the data cannot be read: " + UnzipErrorText(rc);
    return EntryOutcome::kArchiveFault;
  }
  // A new file is written in place (and removed should the entry fail); an
  // existing one is replaced only by complete data, from a name beside it.
  base::UniqueFile file;
  std::wstring writePath = api;
  if (!exists) {
    file.Reset(CreateFileW(api.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, entry.attributes, nullptr));
    if (!file && GetLastError() == ERROR_FILE_EXISTS) exists = true;
  }
  if (exists) {
    writePath = ForFileApi(fullPath + kPartSuffix);
    SetFileAttributesW(writePath.c_str(), FILE_ATTRIBUTE_NORMAL);  // a leftover of a broken run
    file.Reset(CreateFileW(writePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, entry.attributes, nullptr));
  }
  if (!file) {
    *error = "the file cannot be created: " + base::ErrorText(GetLastError());
    unzCloseCurrentFile(zip);
    return EntryOutcome::kLocalFault;
  }
  ZipEntry times = entry;
  ApplyLocalTimes(zip, &times);
  block_.resize(kBlockSize);
  EntryOutcome outcome = EntryOutcome::kWritten;
  uint64_t total = 0;
  for (;;) {
    int got = unzReadCurrentFile(zip, block_.data(), kBlockSize);
    if (got == 0) break;
    if (got < 0) {
      *error = "the data cannot be decoded: " + UnzipErrorText(got);
      outcome = EntryOutcome::kArchiveFault;
      break;
    }
    DWORD written = 0;
    if (!WriteFile(file.Get(), block_.data(), static_cast<DWORD>(got), &written, nullptr) ||
        written != static_cast<DWORD>(got)) {
      *error = "writing failed: " + base::ErrorText(GetLastError());
      outcome = EntryOutcome::kLocalFault;
      break;
    }
    if (digest && !hasher_.Add(block_.data(), static_cast<size_t>(got))) {
      *error = "the data cannot be hashed";
      outcome = EntryOutcome::kLocalFault;
      break;
    }
    total += static_cast<uint64_t>(got);
  }
  // Closing the entry is where the reader compares the CRC.
  rc = unzCloseCurrentFile(zip);
  if (outcome == EntryOutcome::kWritten && rc != UNZ_OK) {
    *error = "the data cannot be decoded: " + UnzipErrorText(rc);
    outcome = EntryOutcome::kArchiveFault;
  }
  // A damaged stream can end early without an error from the reader, which
  // then also skips its CRC check.
  if (outcome == EntryOutcome::kWritten && total != info.uncompressed_size) {
    *error = "the data cannot be decoded: " + std::to_string(total) + " of " +
             std::to_string(info.uncompressed_size) + " bytes";
    outcome = EntryOutcome::kArchiveFault;
  }
  if (outcome == EntryOutcome::kWritten && digest && !hasher_.Finish(digest)) {
    *error = "the data cannot be hashed";
    outcome = EntryOutcome::kLocalFault;
  }
  if (outcome != EntryOutcome::kWritten) {
    file.Reset();
    RemovePartFile(writePath);  // no half-written bytes stay behind
    return outcome;
  }
  // Zero means the time is unknown (a DOS stamp the system could not convert).
  FILETIME creation = ToFileTime(times.creationTime), access = ToFileTime(times.accessTime),
           write = ToFileTime(times.writeTime);
  SetFileTime(file.Get(), times.creationTime ? &creation : nullptr, times.accessTime ? &access : nullptr,
              times.writeTime ? &write : nullptr);
  file.Reset();
  if (writePath == api) return EntryOutcome::kWritten;
  if (!ReplaceWithPart(writePath, api, error)) return EntryOutcome::kLocalFault;
  return EntryOutcome::kWritten;
}
