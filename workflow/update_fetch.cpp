#include "workflow/update_fetch.h"

#include <utility>

#include "workflow/entry_router.h"

RangeFetch::RangeFetch(const std::string& url, std::shared_ptr<const PackageManifest> manifest,
                       std::vector<size_t> entries, const std::vector<FetchRange>& ranges,
                       const std::wstring& installDir, const std::wstring& wholePath, const std::string& validator)
    : manifest_(std::move(manifest)), entries_(std::move(entries)), download_(std::make_shared<RangeDownload>()) {
  std::vector<FetchRange> carried;
  for (const FetchRange& range : ranges) {
    if (range.length == 0) continue;
    carried.push_back(range);
    download_->ranges.push_back(ByteRange{range.offset, range.length});
    planned_ += range.length;
  }
  router_ = std::make_shared<EntryRouter>(*manifest_, std::move(carried), installDir);
  download_->url = url;
  download_->wholeBodyPath = wholePath;
  download_->validator = validator;
  // The sink keeps the router and the manifest it reads alive as long as the
  // request's thread may call it.
  std::shared_ptr<EntryRouter> router = router_;
  std::shared_ptr<const PackageManifest> list = manifest_;
  download_->sink = [router, list](size_t range, uint64_t offset, const char* data, size_t size, std::string* error) {
    return router->Take(range, offset, data, size, error);
  };
}

RangeFetch::~RangeFetch() { runner_.Stop(); }

void RangeFetch::Start() {
  if (download_->ranges.empty()) {
    // Only entries without bytes: nothing to ask the server.
    download_->outcome = RangeDownloadOutcome::kRanges;
    download_->finished.exchange(1);
    return;
  }
  runner_.Start(download_);
}

std::string RangeFetch::Complete() {
  if (download_->outcome != RangeDownloadOutcome::kRanges) {
    router_->Abandon();
    return download_->error.empty() ? std::string("the download ended early") : download_->error;
  }
  std::string error;
  if (!router_->WriteEmpty(entries_, &error)) return error;
  return std::string();
}

const std::vector<size_t>& RangeFetch::Mismatched() const { return router_->Mismatched(); }
