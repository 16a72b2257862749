#pragma once
// The fetch of an update by entries: the planned byte ranges of the package
// over one ranged download, each entry's bytes handed through the entry
// router to an entry writer that puts the file in place only when it
// matches the manifest.
#include <memory>
#include <string>
#include <vector>

#include "net/range_download.h"
#include "unpack/package_manifest.h"
#include "workflow/update_plan.h"

class EntryRouter;

class RangeFetch {
 public:
  // `entries`: the manifest indices to write; `ranges`: the requests that
  // carry their bytes (an entry without bytes is written at the end). A 200
  // answer's body goes to `wholePath`. `validator`, when set, pins the first
  // request too (a second try asks for the same file as the first).
  RangeFetch(const std::string& url, std::shared_ptr<const PackageManifest> manifest, std::vector<size_t> entries,
             const std::vector<FetchRange>& ranges, const std::wstring& installDir, const std::wstring& wholePath,
             const std::string& validator);
  ~RangeFetch();  // stops the request and waits for its thread

  void Start();
  // Polled from the timer thread.
  bool Finished() const { return download_->finished.load() != 0; }
  uint64_t Received() const { return download_->received.load(); }
  uint64_t Planned() const { return planned_; }

  // Once finished:
  bool WholeBody() const { return download_->outcome == RangeDownloadOutcome::kWholeBody; }
  // Writes the entries without bytes; then the fetch's error (the transfer's
  // or this machine's), empty when every range came and was taken.
  std::string Complete();
  // Entries whose bytes were not the manifest's, and the first one's error.
  const std::vector<size_t>& Mismatched() const;
  // What the requests were pinned to.
  const std::string& Validator() const { return download_->pinnedValidator; }

 private:
  std::shared_ptr<const PackageManifest> manifest_;
  std::vector<size_t> entries_;
  std::shared_ptr<EntryRouter> router_;  // fed on the request's thread until it finishes
  std::shared_ptr<RangeDownload> download_;
  RangeDownloadRunner runner_;
  uint64_t planned_ = 0;
};
