// The install id and the user's record of the install folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/fs.h"
#include "base/handles.h"
#include "install/install_id.h"
#include "install/install_id_file.h"
#include "install/install_record.h"
#include "support/registry.h"
#include "support/scratch_folder.h"

namespace {

const std::wstring kName = L"VornUnitRecord";
const std::string kId = "0123456789abcdef0123456789abcdef";

std::wstring KeyPath() { return L"Software\\Vorn\\" + kName; }

void SetValue(const wchar_t* name, DWORD type, const std::wstring& text) {
  base::UniqueKey key;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, KeyPath().c_str(), key.Put()), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

class Record : public ::testing::Test {
 protected:
  void SetUp() override { support::DeleteRegistryTree(HKEY_CURRENT_USER, KeyPath()); }
  void TearDown() override { support::DeleteRegistryTree(HKEY_CURRENT_USER, KeyPath()); }
};

}  // namespace

TEST(InstallId, TextOfAnIdAndOfItsFile) {
  const unsigned char bytes[16] = {0x00, 0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd,
                                   0xef, 0xff, 0x10, 0x20, 0x30, 0x40, 0x50, 0x6f};
  EXPECT_EQ(InstallIdFromBytes(bytes), "000123456789abcdefff10203040506f");
  struct Row {
    std::string file;
    std::string id;
  } rows[] = {
      {kId, kId},
      {kId + "\r\n", kId},
      {kId + "\n", kId},
      {kId + "\n\n", ""},
      {kId + " ", ""},
      {"0123456789ABCDEF0123456789abcdef", ""},  // only what the launcher writes
      {kId.substr(1), ""},
      {kId + "0", ""},
      {"", ""},
      {std::string("0123456789abcdef\0" "123456789abcde", 31) + "f", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(InstallIdFromFileText(row.file), row.id) << row.file;
}

TEST(InstallId, NewIdsAreRandomAndReadBackFromTheirFile) {
  std::string a = NewInstallId();
  std::string b = NewInstallId();
  EXPECT_TRUE(IsInstallId(a)) << a;
  EXPECT_NE(a, b);
  std::wstring dir = support::ScratchDir(L"install id") + L"\\";
  EXPECT_EQ(ReadInstallIdFile(dir), "");
  ASSERT_TRUE(WriteInstallIdFile(dir, a));
  EXPECT_EQ(ReadInstallIdFile(dir), a);
  ASSERT_TRUE(base::WriteWholeFile(dir + L"install.id", std::string(5000, 'a')));
  EXPECT_EQ(ReadInstallIdFile(dir), "");
}

TEST_F(Record, WrittenRecordReadsBackUnderTheLaunchersKey) {
  EXPECT_EQ(InstallRecordKeyPath(kName), KeyPath());
  InstallRecord absent;
  EXPECT_FALSE(ReadInstallRecord(kName, &absent));
  ASSERT_TRUE(WriteInstallRecord(kName, {kId, L"D:\\Vorn 游戏\\"}));
  // As stored: REG_SZ values named installId and installDir.
  support::RegistryValue id = support::ReadRegistryValue(HKEY_CURRENT_USER, KeyPath(), L"installId");
  EXPECT_EQ(id.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(id.Text(), std::wstring(kId.begin(), kId.end()));
  EXPECT_EQ(support::ReadRegistryValue(HKEY_CURRENT_USER, KeyPath(), L"installDir").Text(), L"D:\\Vorn 游戏\\");
  InstallRecord record;
  ASSERT_TRUE(ReadInstallRecord(kName, &record));
  EXPECT_EQ(record.installId, kId);
  EXPECT_EQ(record.installDir, L"D:\\Vorn 游戏\\");
}

TEST_F(Record, MalformedValuesAreNoRecord) {
  const std::wstring wideId(kId.begin(), kId.end());
  struct Row {
    const char* what;
    std::wstring id;
    DWORD idType;
    std::wstring dir;
  } rows[] = {
      {"id of another shape", L"1234", REG_SZ, L"D:\\Vorn\\"},
      {"id as expandable text", wideId, REG_EXPAND_SZ, L"D:\\Vorn\\"},
      {"relative folder", wideId, REG_SZ, L"Vorn\\"},
      {"folder without its separator", wideId, REG_SZ, L"D:\\Vorn"},
      {"device path", wideId, REG_SZ, L"\\\\.\\C:\\Vorn\\"},
      {"zero inside the folder", wideId, REG_SZ, std::wstring(L"D:\\Vorn\0\\x\\", 11)},
      {"overlong folder", wideId, REG_SZ, L"D:\\" + std::wstring(2000, L'v') + L"\\"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SetValue(L"installId", row.idType, row.id);
    SetValue(L"installDir", REG_SZ, row.dir);
    InstallRecord record;
    EXPECT_FALSE(ReadInstallRecord(kName, &record));
  }
}

TEST_F(Record, ClearingLeavesTheKeysOtherValues) {
  ASSERT_TRUE(WriteInstallRecord(kName, {kId, L"D:\\Vorn\\"}));
  SetValue(L"configSerial", REG_SZ, L"7");
  ClearInstallRecord(kName);
  InstallRecord record;
  EXPECT_FALSE(ReadInstallRecord(kName, &record));
  EXPECT_FALSE(support::ReadRegistryValue(HKEY_CURRENT_USER, KeyPath(), L"installId").found);
  EXPECT_FALSE(support::ReadRegistryValue(HKEY_CURRENT_USER, KeyPath(), L"installDir").found);
  EXPECT_EQ(support::ReadRegistryValue(HKEY_CURRENT_USER, KeyPath(), L"configSerial").Text(), L"7");
}
