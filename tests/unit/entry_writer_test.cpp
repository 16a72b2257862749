#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "base/sha256.h"
#include "support/files.h"
#include "support/scratch_folder.h"
#include "support/zip_writer.h"
#include "unpack/entry_writer.h"
#include "unpack/folder_maker.h"

namespace {

uint32_t Le(const std::string& bytes, size_t at, int width) {
  uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// The manifest line of the one entry of a zip built by support::BuildZip,
// from its local header, and its compressed bytes.
struct Packed {
  ManifestEntry entry;
  std::string compressed;
};

Packed Pack(const std::string& name, const std::string& data, bool deflate) {
  support::ZipItem item = support::FileItem(name, data);
  item.deflate = deflate;
  std::string zip = support::BuildZip({item});
  Packed p;
  p.entry.name = name;
  p.entry.method = static_cast<uint16_t>(Le(zip, 8, 2));
  p.entry.crc32 = Le(zip, 14, 4);
  p.entry.compressedSize = Le(zip, 18, 4);
  p.entry.size = Le(zip, 22, 4);
  p.entry.dataOffset = 30 + Le(zip, 26, 2) + Le(zip, 28, 2);
  std::string error;
  EXPECT_TRUE(Sha256OfBytes(data, &p.entry.sha256, &error)) << error;
  p.compressed = zip.substr(p.entry.dataOffset, p.entry.compressedSize);
  return p;
}

// Data that deflate shrinks but not to nothing, larger than the writer's blocks.
std::string GameData(size_t size) {
  std::string data(size, '\0');
  uint32_t x = 35;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    data[i] = static_cast<char>(i % 7 == 0 ? (x >> 24) : 'a' + (i / 64) % 26);
  }
  return data;
}

class EntryWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { root = support::ScratchDir(L"entry_writer"); }
  std::wstring Path(const wchar_t* name) { return root + L"\\" + name; }
  bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

  // Feeds `bytes` in blocks of `block` and finishes.
  bool Write(const ManifestEntry& entry, const std::wstring& path, const std::string& bytes, size_t block,
             EntryWriteOutcome* outcome, std::string* error) {
    EntryWriter writer;
    FolderMaker folders;
    bool ok = writer.Begin(entry, path, &folders, error);
    for (size_t at = 0; ok && at < bytes.size(); at += block) {
      ok = writer.Add(bytes.data() + at, std::min(block, bytes.size() - at), error);
    }
    if (ok) ok = writer.Finish(error);
    *outcome = writer.Outcome();
    return ok;
  }

  std::wstring root;
};

// Stored and deflated, empty and larger than the writer's blocks, fed in
// blocks of every odd size; an existing file is replaced.
TEST_F(EntryWriterTest, StoredAndDeflatedEntriesInOddBlockSizes) {
  struct Row {
    size_t size;
    bool deflate;
    size_t block;
  };
  const Row rows[] = {
      {700 * 1024 + 13, true, 1},     {700 * 1024 + 13, true, 7},     {700 * 1024 + 13, true, 65537},
      {700 * 1024 + 13, true, 1u << 24}, {700 * 1024 + 13, false, 7}, {700 * 1024 + 13, false, 4096},
      {700 * 1024 + 13, false, 1u << 24}, {0, true, 3},              {0, false, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.size) + (row.deflate ? " deflated, " : " stored, ") + std::to_string(row.block));
    const std::string data = GameData(row.size);
    Packed p = Pack("data/level one.bin", data, row.deflate);
    ASSERT_EQ(p.entry.method, row.deflate ? 8 : 0);
    std::wstring target = Path(L"data\\level one.bin");
    if (row.size == 0) {
      ASSERT_TRUE(support::WriteFileBytes(target, "old"));
    }
    EntryWriteOutcome outcome;
    std::string error;
    ASSERT_TRUE(Write(p.entry, target, p.compressed, row.block, &outcome, &error)) << error;
    EXPECT_EQ(outcome, EntryWriteOutcome::kWritten);
    EXPECT_TRUE(support::ReadFileBytes(target) == data);
    EXPECT_FALSE(Exists(target + L".unpacking"));
  }
}

// Every way the bytes can differ from the manifest: refused with the
// checksum text, the old file untouched, no temporary left.
TEST_F(EntryWriterTest, BytesThatAreNotTheManifestsLeaveTheOldFile) {
  const std::string data = GameData(300 * 1024);
  struct Row {
    const char* fault;
    bool deflate;
    void (*spoil)(Packed&);
  };
  const Row rows[] = {
      {"wrong CRC", true, [](Packed& p) { p.entry.crc32 ^= 1; }},
      {"wrong SHA-256", false, [](Packed& p) { p.entry.sha256[31] ^= 1; }},
      {"wrong SHA-256", true, [](Packed& p) { p.entry.sha256[0] ^= 0x80; }},
      {"stored byte changed", false, [](Packed& p) { p.compressed[1000] ^= 0x20; }},
      {"deflated stream damaged", true, [](Packed& p) { p.compressed[100] ^= 0xff; p.compressed[101] ^= 0x55; }},
      {"short stored data", false, [](Packed& p) { p.compressed.resize(p.compressed.size() - 1); }},
      {"short deflated data", true, [](Packed& p) { p.compressed.resize(p.compressed.size() / 2); }},
      {"more bytes than announced", false, [](Packed& p) { p.compressed += "x"; }},
      {"uncompressed size smaller than the data", true, [](Packed& p) { p.entry.size -= 1; }},
      {"uncompressed size larger than the data", true, [](Packed& p) { p.entry.size += 1; }},
      {"deflated stream ends before its bytes",
       true, [](Packed& p) {
         p.compressed += std::string("\0\0", 2);
         p.entry.compressedSize += 2;
       }},
      {"unknown method", false, [](Packed& p) { p.entry.method = 12; }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    Packed p = Pack("sub/game.dat", data, row.deflate);
    row.spoil(p);
    std::wstring target = Path(L"sub\\game.dat");
    CreateDirectoryW(Path(L"sub").c_str(), nullptr);
    ASSERT_TRUE(support::WriteFileBytes(target, "the old version"));
    EntryWriteOutcome outcome;
    std::string error;
    EXPECT_FALSE(Write(p.entry, target, p.compressed, 5000, &outcome, &error));
    EXPECT_EQ(outcome, EntryWriteOutcome::kDataFault);
    EXPECT_EQ(error, "entry sub/game.dat checksum mismatch");
    EXPECT_EQ(support::ReadFileBytes(target), "the old version");
    EXPECT_FALSE(Exists(target + L".unpacking"));
  }
}

TEST_F(EntryWriterTest, AReadOnlyTargetIsReplacedAndALeftoverTemporaryOverwritten) {
  Packed p = Pack("ro.dll", GameData(5000), true);
  std::wstring target = Path(L"ro.dll");
  ASSERT_TRUE(support::WriteFileBytes(target, "old"));
  ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(support::WriteFileBytes(target + L".unpacking", std::string(9000, 'z')));  // a killed run's
  ASSERT_TRUE(SetFileAttributesW((target + L".unpacking").c_str(), FILE_ATTRIBUTE_READONLY));
  EntryWriteOutcome outcome;
  std::string error;
  ASSERT_TRUE(Write(p.entry, target, p.compressed, 333, &outcome, &error)) << error;
  EXPECT_TRUE(support::ReadFileBytes(target) == GameData(5000));
  EXPECT_FALSE(Exists(target + L".unpacking"));
}

TEST_F(EntryWriterTest, AbandonedOrFailedToReplaceLeavesOldFileAndNoTemporary) {
  Packed p = Pack("busy.exe", GameData(20000), true);
  std::wstring target = Path(L"busy.exe");
  ASSERT_TRUE(support::WriteFileBytes(target, "running"));
  {
    // Given up half-way (a stop, a failed request): the destructor cleans up.
    EntryWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Begin(p.entry, target, nullptr, &error)) << error;
    ASSERT_TRUE(writer.Add(p.compressed.data(), p.compressed.size() / 2, &error)) << error;
    EXPECT_TRUE(Exists(target + L".unpacking"));
  }
  EXPECT_FALSE(Exists(target + L".unpacking"));
  EXPECT_EQ(support::ReadFileBytes(target), "running");

  // The target is open without delete sharing (a running program): the
  // checked bytes cannot go in place, and the temporary goes.
  HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EntryWriteOutcome outcome;
  std::string error;
  EXPECT_FALSE(Write(p.entry, target, p.compressed, 4096, &outcome, &error));
  CloseHandle(held);
  EXPECT_EQ(outcome, EntryWriteOutcome::kLocalFault);
  EXPECT_NE(error.find("entry busy.exe: the file cannot be replaced"), std::string::npos) << error;
  EXPECT_EQ(support::ReadFileBytes(target), "running");
  EXPECT_FALSE(Exists(target + L".unpacking"));
}

TEST_F(EntryWriterTest, AFolderInTheWayOfTheTemporaryIsALocalFault) {
  Packed p = Pack("x.bin", "abc", false);
  std::wstring target = Path(L"x.bin");
  ASSERT_TRUE(CreateDirectoryW((target + L".unpacking").c_str(), nullptr));
  EntryWriter writer;
  std::string error;
  EXPECT_FALSE(writer.Begin(p.entry, target, nullptr, &error));
  EXPECT_EQ(writer.Outcome(), EntryWriteOutcome::kLocalFault);
  EXPECT_NE(error.find("entry x.bin: the file cannot be created"), std::string::npos) << error;
  EXPECT_FALSE(Exists(target));
}

}  // namespace
