// The bytes of fetched package ranges reach each entry's writer exactly:
// what lies between entries (local headers, data descriptors) is skipped,
// any block size works, and an entry is finished once its last byte came.
#include "workflow/entry_router.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// Records what each entry's writer received and how it ended.
struct Recorded {
  std::map<size_t, std::string> bytes;
  std::map<size_t, int> finished;
  size_t checksumFails = SIZE_MAX;  // this entry's Finish reports bad bytes
  size_t diskFails = SIZE_MAX;      // this entry's Add fails (a full disk)
  size_t streamFails = SIZE_MAX;    // this entry's Add refuses its bytes after 5 (a broken stream)
};

class Recorder : public EntryOutput {
 public:
  Recorder(Recorded* record, size_t index) : record_(record), index_(index) {}
  bool Add(const char* data, size_t size, std::string*) override {
    if (index_ == record_->diskFails) return false;
    if (index_ == record_->streamFails && record_->bytes[index_].size() + size > 5) {
      dataFault_ = true;
      return false;
    }
    record_->bytes[index_].append(data, size);
    return true;
  }
  bool Finish(std::string* error) override {
    ++record_->finished[index_];
    dataFault_ = index_ == record_->checksumFails;
    if (dataFault_) *error = "entry checksum mismatch";
    return !dataFault_;
  }
  bool DataFault() const override { return dataFault_; }

 private:
  Recorded* record_;
  size_t index_;
  bool dataFault_ = false;
};

ManifestEntry Entry(const std::string& name, uint64_t offset, uint64_t size) {
  ManifestEntry entry;
  entry.name = name;
  entry.dataOffset = offset;
  entry.compressedSize = size;
  entry.size = size;
  return entry;
}

// An archive of 200 bytes whose byte i is i: entry 0 at [10, 40), entry 1 at
// [60, 100) (a 20-byte header between), entry 2 at [130, 131), entry 3 empty at 150.
PackageManifest Manifest() {
  PackageManifest manifest;
  manifest.entries = {Entry("a", 10, 30), Entry("b", 60, 40), Entry("c", 130, 1), Entry("empty", 150, 0)};
  return manifest;
}

std::string Archive() {
  std::string bytes(200, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i);
  return bytes;
}

EntryRouter::OutputFactory Factory(Recorded* record) {
  return [record](size_t index, std::string*) { return std::make_unique<Recorder>(record, index); };
}

// Feeds [from, to) of the archive in blocks of `block` bytes.
void FeedRange(EntryRouter& router, uint64_t from, uint64_t to, size_t block) {
  std::string archive = Archive();
  for (uint64_t at = from; at < to; at += block)
    router.Feed(at, archive.data() + at, static_cast<size_t>(std::min<uint64_t>(block, to - at)));
}

TEST(EntryRouter, EachEntryGetsExactlyItsBytesWhateverTheBlockSize) {
  PackageManifest manifest = Manifest();
  std::string archive = Archive();
  for (size_t block : {1u, 7u, 20u, 64u, 4096u}) {
    SCOPED_TRACE(block);
    Recorded record;
    EntryRouter router(manifest, {0, 1, 2, 3}, Factory(&record));
    // One range over a and b with the header between, one over c.
    FeedRange(router, 10, 100, block);
    FeedRange(router, 130, 131, block);
    EXPECT_EQ(record.finished[0], 1) << "finished as soon as its last byte came";
    EXPECT_EQ(record.finished[1], 1);
    EXPECT_EQ(record.finished[2], 1);
    EXPECT_EQ(record.finished.count(3), 0u) << "the empty entry waits for the end";
    router.FinishAll();
    EXPECT_EQ(record.bytes[0], archive.substr(10, 30));
    EXPECT_EQ(record.bytes[1], archive.substr(60, 40));
    EXPECT_EQ(record.bytes[2], archive.substr(130, 1));
    EXPECT_EQ(record.bytes[3], "");
    EXPECT_EQ(record.finished[3], 1);
    EXPECT_EQ(router.With(EntryRouter::Outcome::kWritten), (std::vector<size_t>{0, 1, 2, 3}));
    EXPECT_EQ(router.Routed(), 71u) << "the header between a and b is not routed";
  }
}

TEST(EntryRouter, OnlyTheAskedEntriesAreWrittenFromARangeThatHoldsMore) {
  Recorded record;
  EntryRouter router(Manifest(), {1}, Factory(&record));
  FeedRange(router, 0, 200, 33);
  router.FinishAll();
  EXPECT_EQ(record.bytes.size(), 1u);
  EXPECT_EQ(record.bytes[1], Archive().substr(60, 40));
  EXPECT_EQ(router.OutcomeOf(0), EntryRouter::Outcome::kPending) << "not asked for";
}

TEST(EntryRouter, FailuresAreToldApartByWhatWentWrong) {
  struct Row {
    const char* what;
    size_t checksumFails, diskFails, streamFails;
    uint64_t feedTo;  // bytes of the one range [10, 100) that came
    bool repeatFirstBlock;
    EntryRouter::Outcome a, b;
    std::string errorB;
  } rows[] = {
      {"bytes unlike the manifest", 1, SIZE_MAX, SIZE_MAX, 100, false, EntryRouter::Outcome::kWritten,
       EntryRouter::Outcome::kChecksumMismatch, "entry checksum mismatch"},
      {"a stream that cannot be decoded", SIZE_MAX, SIZE_MAX, 1, 100, false, EntryRouter::Outcome::kWritten,
       EntryRouter::Outcome::kChecksumMismatch, "entry b cannot be written"},
      {"a write that fails", SIZE_MAX, 1, SIZE_MAX, 100, false, EntryRouter::Outcome::kWritten, EntryRouter::Outcome::kFailed,
       "entry b cannot be written"},
      {"a range cut short", SIZE_MAX, SIZE_MAX, SIZE_MAX, 80, false, EntryRouter::Outcome::kWritten,
       EntryRouter::Outcome::kFailed, "entry b incomplete"},
      {"bytes that come twice", SIZE_MAX, SIZE_MAX, SIZE_MAX, 100, true, EntryRouter::Outcome::kFailed,
       EntryRouter::Outcome::kWritten, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Recorded record;
    record.checksumFails = row.checksumFails;
    record.diskFails = row.diskFails;
    record.streamFails = row.streamFails;
    EntryRouter router(Manifest(), {0, 1}, Factory(&record));
    FeedRange(router, 10, 20, 10);
    if (row.repeatFirstBlock) FeedRange(router, 10, 20, 10);
    FeedRange(router, 20, row.feedTo, 10);
    router.FinishAll();
    EXPECT_EQ(router.OutcomeOf(0), row.a);
    EXPECT_EQ(router.OutcomeOf(1), row.b);
    EXPECT_EQ(router.ErrorOf(1), row.errorB);
  }
}

TEST(EntryRouter, AnOutputThatCannotBeMadeFailsItsEntryOnly) {
  Recorded record;
  EntryRouter router(Manifest(), {0, 1}, [&record](size_t index, std::string* error) -> std::unique_ptr<EntryOutput> {
    if (index == 0) {
      *error = "entry a: the folder cannot be made";
      return nullptr;
    }
    return std::make_unique<Recorder>(&record, index);
  });
  FeedRange(router, 10, 100, 16);
  router.FinishAll();
  EXPECT_EQ(router.OutcomeOf(0), EntryRouter::Outcome::kFailed);
  EXPECT_EQ(router.ErrorOf(0), "entry a: the folder cannot be made");
  EXPECT_EQ(router.OutcomeOf(1), EntryRouter::Outcome::kWritten);
}

}  // namespace
