#include "unpack/package_unpacker.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <unordered_map>
#include <vector>

#include "base/error_text.h"
#include "base/handles.h"
#include "base/log.h"
#include "base/sha256.h"
#include "base/text.h"
#include "unpack/folder_maker.h"
#include "unpack/unpack_path.h"
#include "unpack/zip_archive.h"
#include "unpack/zip_entry_rules.h"

namespace {

// Below both, starting threads costs more than it saves.
constexpr int32_t kParallelMinEntries = 16;
constexpr uint64_t kParallelMinBytes = 8ull << 20;
constexpr unsigned kMaxWorkers = 4;
// Entries from this size on are handed out first, largest first, so that no
// worker is still busy with one of them long after the others ran dry.
constexpr uint64_t kLargeEntry = 4ull << 20;

struct PlannedFile {
  ZipEntry entry;
  std::wstring fullPath;
  std::string name;  // as UnpackedFile names it
  bool freshFolder = false;
  bool keep = false;          // an existing file to keep: hashed, not written
  int32_t nextSameFile = -1;  // the next planned file that lands on the same path
};

// A file in place, by its planned file's index.
struct Placed {
  int32_t file = 0;
  UnpackedFile what;
};

struct Tally {
  int32_t failed = 0;
  int32_t skipped = 0;
  bool archiveFault = false;
  std::vector<Placed> placed;

  void Add(EntryOutcome outcome) {
    if (outcome == EntryOutcome::kRefused) ++skipped;
    if (outcome == EntryOutcome::kArchiveFault || outcome == EntryOutcome::kLocalFault) ++failed;
    if (outcome == EntryOutcome::kArchiveFault) archiveFault = true;
  }
  void Add(const Tally& other) {
    failed += other.failed;
    skipped += other.skipped;
    archiveFault = archiveFault || other.archiveFault;
    placed.insert(placed.end(), other.placed.begin(), other.placed.end());
  }
};

// The package's own form of a cleaned entry name: UTF-8, '/' between folders.
std::string PackageName(const std::wstring& cleaned) {
  std::string name = base::Utf8(cleaned);
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

bool IsExistingFile(const std::wstring& fullPath) {
  DWORD attributes = GetFileAttributesW(ForFileApi(fullPath).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Names compare as the file system does: without regard to case.
std::wstring FileKey(const std::wstring& fullPath) {
  std::wstring key = fullPath;
  if (!key.empty()) CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
  return key;
}

// Everything the workers share. The plan is complete before any of them
// starts and only read from then on.
class Job {
 public:
  Job(const std::wstring& archivePath, void* held, const std::wstring& targetDir, const UnpackCallbacks& callbacks)
      : archivePath_(archivePath), held_(held), targetDir_(targetDir), callbacks_(callbacks) {}

  // Reads every entry, makes the folders, and settles the entries that need
  // no data (folders, refused names, unreadable records).
  void Plan(ZipArchive& archive, int32_t count, Tally* tally) {
    std::unordered_map<std::wstring, int32_t> lastForFile;
    for (int32_t i = 0; i < count; ++i) {
      EntryOutcome outcome = PlanEntry(archive, i, &lastForFile);
      if (outcome != kPlanned) {
        tally->Add(outcome);
        Finished();
      }
    }
    // Large files first, largest first; then the others in archive order.
    std::stable_sort(order_.begin(), order_.end(), [this](int32_t a, int32_t b) {
      uint64_t sa = files_[a].entry.size, sb = files_[b].entry.size;
      bool la = sa >= kLargeEntry, lb = sb >= kLargeEntry;
      if (la != lb) return la;
      return la && sa > sb;
    });
  }

  uint64_t Bytes() const { return bytes_; }
  size_t WorkItems() const { return order_.size(); }

  // Takes work items until none is left.
  void Work(ZipArchive& archive, Tally* tally) {
    for (;;) {
      size_t item = next_.fetch_add(1);
      if (item >= order_.size()) return;
      for (int32_t f = order_[item]; f >= 0; f = files_[f].nextSameFile) {
        Placed placed;
        placed.file = f;
        EntryOutcome outcome = files_[f].keep ? KeepFile(files_[f], &placed.what) : ExtractFile(archive, files_[f], &placed.what);
        tally->Add(outcome);
        if (outcome == EntryOutcome::kWritten && !placed.what.name.empty()) tally->placed.push_back(std::move(placed));
        Finished();
      }
    }
  }

  // One line per file: of the entries that landed on the same file, the last
  // one in place; in archive order.
  std::vector<UnpackedFile> Files(std::vector<Placed> placed) const {
    std::sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) { return a.file < b.file; });
    std::unordered_map<std::wstring, size_t> last;
    for (size_t i = 0; i < placed.size(); ++i) last[FileKey(files_[placed[i].file].fullPath)] = i;
    std::vector<UnpackedFile> out;
    for (size_t i = 0; i < placed.size(); ++i)
      if (last[FileKey(files_[placed[i].file].fullPath)] == i) out.push_back(std::move(placed[i].what));
    return out;
  }

  const std::wstring& ArchivePath() const { return archivePath_; }
  // A reader of its own over the archive: the held file, or the file by its name.
  bool OpenReader(ZipArchive& archive, std::string* error) const {
    return held_ ? archive.OpenHeld(held_, error) : archive.Open(archivePath_, error);
  }

 private:
  // Not an outcome: the entry waits for a worker.
  static constexpr EntryOutcome kPlanned = static_cast<EntryOutcome>(-1);

  EntryOutcome PlanEntry(ZipArchive& archive, int32_t index,
                         std::unordered_map<std::wstring, int32_t>* lastForFile) {
    ZipEntry entry;
    std::string error;
    if (!archive.ReadEntry(index, &entry, &error)) {
      Log("DecompressWorker: entry %d failed: %s", static_cast<int>(index), error.c_str());
      return EntryOutcome::kArchiveFault;
    }
    if (entry.name.empty()) {
      Log("DecompressWorker: entry %d refused: no name is left after cleaning", static_cast<int>(index));
      return EntryOutcome::kRefused;
    }
    // The cleaning rules leave names such as "../x"; those, and anything the
    // system would resolve outside the folder, are never written. Names
    // refused for safety count as written: no later run could do better.
    std::wstring fullPath;
    if (zip_rules::NameLeavesFolder(entry.name) || !ResolveEntryPath(targetDir_, entry.name, &fullPath)) {
      Log("DecompressWorker: entry %s refused: it leads outside the install folder", base::Utf8(entry.name).c_str());
      return EntryOutcome::kRefused;
    }
    if (entry.IsDirectory()) {
      if (folders_.Make(fullPath)) return EntryOutcome::kWritten;
      Log("DecompressWorker: entry %s failed: the folder cannot be created", base::Utf8(entry.name).c_str());
      return EntryOutcome::kLocalFault;
    }
    PlannedFile file;
    file.name = PackageName(entry.name);
    if (callbacks_.keepIfPresent && callbacks_.keepIfPresent(file.name) && IsExistingFile(fullPath)) {
      file.keep = true;
      file.entry = std::move(entry);
      file.fullPath = std::move(fullPath);
      return Enqueue(std::move(file), lastForFile);
    }
    size_t cut = fullPath.find_last_of(L"\\/");
    if (cut != std::wstring::npos) {
      std::wstring folder = fullPath.substr(0, cut + 1);
      folders_.Make(folder);
      file.freshFolder = folders_.Created(folder);
    }
    bytes_ += entry.size;
    file.entry = std::move(entry);
    file.fullPath = std::move(fullPath);
    return Enqueue(std::move(file), lastForFile);
  }

  EntryOutcome Enqueue(PlannedFile file, std::unordered_map<std::wstring, int32_t>* lastForFile) {
    int32_t at = static_cast<int32_t>(files_.size());
    auto known = lastForFile->emplace(FileKey(file.fullPath), at);
    if (known.second) {
      order_.push_back(at);
    } else {
      files_[known.first->second].nextSameFile = at;
      known.first->second = at;
    }
    files_.push_back(std::move(file));
    return kPlanned;
  }

  static EntryOutcome ExtractFile(ZipArchive& archive, const PlannedFile& file, UnpackedFile* placed) {
    std::string error;
    EntryOutcome outcome = archive.Extract(file.entry, file.fullPath, file.freshFolder, &error, &placed->sha256);
    if (outcome != EntryOutcome::kWritten) {
      Log("DecompressWorker: entry %s failed: %s", base::Utf8(file.entry.name).c_str(), error.c_str());
      return outcome;
    }
    placed->name = file.name;
    placed->size = file.entry.size;
    return outcome;
  }

  // The player's own copy stays; what is in place is what gets accounted.
  static EntryOutcome KeepFile(const PlannedFile& file, UnpackedFile* placed) {
    std::wstring api = ForFileApi(file.fullPath);
    WIN32_FILE_ATTRIBUTE_DATA data;
    std::string error;
    if (!GetFileAttributesExW(api.c_str(), GetFileExInfoStandard, &data) ||
        !Sha256OfFile(api, &placed->sha256, &error)) {
      // Kept all the same; it just cannot be listed.
      Log("DecompressWorker: entry %s kept, but the file cannot be read: %s", file.name.c_str(), error.c_str());
      return EntryOutcome::kWritten;
    }
    Log("DecompressWorker: entry %s kept: the player's file is left as it is", file.name.c_str());
    placed->name = file.name;
    placed->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    placed->kept = true;
    return EntryOutcome::kWritten;
  }

  void Finished() {
    int32_t finished = finished_.fetch_add(1) + 1;
    if (callbacks_.entryDone) callbacks_.entryDone(finished);
  }

  const std::wstring archivePath_;
  void* const held_;  // the archive's handle when the caller holds it, else null
  const std::wstring targetDir_;
  const UnpackCallbacks& callbacks_;
  FolderMaker folders_;
  std::vector<PlannedFile> files_;
  std::vector<int32_t> order_;  // first planned file of each path, in the order handed out
  uint64_t bytes_ = 0;
  std::atomic<size_t> next_{0};
  std::atomic<int32_t> finished_{0};
};

// One more worker: a reader of its own over the same archive.
struct Helper {
  Job* job = nullptr;
  Tally tally;
};

DWORD WINAPI HelperThread(LPVOID param) {
  Helper& helper = *static_cast<Helper*>(param);
  ZipArchive archive;
  std::string error;
  if (!helper.job->OpenReader(archive, &error)) {
    // The other workers take its share.
    Log("DecompressWorker: a second reader of the archive cannot open it: %s", error.c_str());
    return 0;
  }
  helper.job->Work(archive, &helper.tally);
  return 0;
}

unsigned ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

}  // namespace

unsigned UnpackWorkersFor(int32_t entries, uint64_t bytes) {
  if (entries < kParallelMinEntries && bytes < kParallelMinBytes) return 1;
  return std::min(ProcessorCount(), kMaxWorkers);
}

namespace {

UnpackOutcome Unpack(const std::wstring& archivePath, void* held, const std::wstring& targetDir, unsigned workers,
                     const UnpackCallbacks& callbacks) {
  UnpackOutcome result;
  Job job(archivePath, held, targetDir, callbacks);
  ZipArchive archive;
  std::string error;
  if (!job.OpenReader(archive, &error)) {
    Log("DecompressWorker: the archive %s %s", base::Utf8(archivePath).c_str(), error.c_str());
    return result;
  }
  result.archiveIsZip = true;
  result.count = archive.EntryCount();
  if (callbacks.opened) callbacks.opened(result.count);

  Tally tally;
  job.Plan(archive, result.count, &tally);
  if (workers == 0) workers = UnpackWorkersFor(result.count, job.Bytes());
  workers = static_cast<unsigned>(std::min<size_t>(std::max(workers, 1u), std::max<size_t>(job.WorkItems(), 1)));

  std::vector<Helper> helpers(workers - 1);
  std::vector<base::UniqueHandle> threads;
  for (Helper& helper : helpers) {
    helper.job = &job;
    base::UniqueHandle thread(CreateThread(nullptr, 0, HelperThread, &helper, 0, nullptr));
    if (!thread) {
      Log("DecompressWorker: a worker cannot start: %s", base::ErrorText(GetLastError()).c_str());
      break;  // fewer workers share the same items
    }
    threads.push_back(std::move(thread));
  }
  job.Work(archive, &tally);
  for (base::UniqueHandle& thread : threads) WaitForSingleObject(thread.Get(), INFINITE);
  for (const Helper& helper : helpers) tally.Add(helper.tally);

  result.failed = tally.failed;
  result.skipped = tally.skipped;
  result.archiveFault = tally.archiveFault;
  result.files = job.Files(std::move(tally.placed));
  return result;
}

}  // namespace

UnpackOutcome UnpackPackage(const std::wstring& archivePath, const std::wstring& targetDir, unsigned workers,
                            const UnpackCallbacks& callbacks) {
  return Unpack(archivePath, nullptr, targetDir, workers, callbacks);
}

UnpackOutcome UnpackHeldPackage(void* held, const std::wstring& archiveName, const std::wstring& targetDir,
                                unsigned workers, const UnpackCallbacks& callbacks) {
  return Unpack(archiveName, held, targetDir, workers, callbacks);
}
