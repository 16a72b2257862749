#pragma once
// Hands the bytes of fetched package ranges to one writer per entry. A range
// may carry several entries together with what lies between their data (the
// next entry's local header, a data descriptor): those bytes are skipped.
// Bytes of one range arrive in order; ranges may come one after the other.
// Free of windows.h.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "unpack/package_manifest.h"

// Where one entry's compressed bytes go.
class EntryOutput {
 public:
  virtual ~EntryOutput() = default;
  // False on a write error, with the reason; the entry then fails and its
  // output is dropped (which leaves nothing of it in place).
  virtual bool Add(const char* data, size_t size, std::string* error) = 0;
  // All bytes given: check and put the file in place. False with the reason
  // when nothing of the entry is in place.
  virtual bool Finish(std::string* error) = 0;
  // After a failed Add or Finish: whether the bytes themselves were not the
  // manifest's (as opposed to this machine failing to write them).
  virtual bool DataFault() const = 0;
};

class EntryRouter {
 public:
  enum class Outcome { kPending, kWritten, kFailed, kChecksumMismatch };

  // Makes the output of manifest entry `index`; null when it cannot be made
  // (the entry fails with `error`).
  using OutputFactory = std::function<std::unique_ptr<EntryOutput>(size_t index, std::string* error)>;

  // `entries`: indices into `manifest.entries` that the ranges carry (the
  // router keeps what it needs of them).
  EntryRouter(const PackageManifest& manifest, std::vector<size_t> entries, OutputFactory factory);

  // Bytes at absolute archive offset `offset`. Entries whose data end within
  // them are finished at once.
  void Feed(uint64_t offset, const char* data, size_t size);
  // Entries without data (an empty stored file) are written here; any other
  // entry still pending has not had all its bytes and fails.
  void FinishAll();

  Outcome OutcomeOf(size_t index) const;
  const std::string& ErrorOf(size_t index) const;
  // Indices of the entries that ended with `outcome`, in manifest order.
  std::vector<size_t> With(Outcome outcome) const;
  // Compressed bytes handed to writers so far.
  uint64_t Routed() const { return routed_; }

 private:
  struct Slot {
    size_t index = 0;
    std::string name;
    uint64_t begin = 0;  // data range in the archive
    uint64_t end = 0;
    uint64_t given = 0;
    std::unique_ptr<EntryOutput> output;
    Outcome outcome = Outcome::kPending;
    std::string error;
  };
  void Close(Slot& slot);
  const Slot* Find(size_t index) const;

  OutputFactory factory_;
  std::vector<Slot> slots_;  // by data offset
  size_t next_ = 0;          // first slot whose data may still come
  uint64_t routed_ = 0;
};
