// The configuration serial a launcher keeps per installation, in the real
// registry of the test's account.
#include "install/config_serial_record.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/handles.h"
#include "support/registry.h"

namespace {

class ConfigSerialRecord : public ::testing::Test {
 protected:
  void SetUp() override { support::DeleteRegistryTree(HKEY_CURRENT_USER, ConfigSerialKeyPath(kName)); }
  void TearDown() override { SetUp(); }
  void Store(DWORD type, const void* data, DWORD size) {
    base::UniqueKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, ConfigSerialKeyPath(kName).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, key.Put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.Get(), L"configSerial", 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
  }
  const std::wstring kName = L"VornUnit_ConfigSerial";
};

TEST_F(ConfigSerialRecord, WrittenAsDecimalTextAndReadBack) {
  uint64_t serial = 5;
  EXPECT_EQ(ReadAcceptedSerial(kName, &serial), SerialRecord::kNone);
  ASSERT_TRUE(WriteAcceptedSerial(kName, 999999999999999999ull));
  support::RegistryValue value =
      support::ReadRegistryValue(HKEY_CURRENT_USER, L"Software\\Vorn\\" + kName, L"configSerial");
  ASSERT_TRUE(value.found);
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(value.Text(), std::wstring(18, L'9'));
  EXPECT_EQ(ReadAcceptedSerial(kName, &serial), SerialRecord::kFound);
  EXPECT_EQ(serial, 999999999999999999ull);
  ASSERT_TRUE(WriteAcceptedSerial(kName, 12));
  EXPECT_EQ(ReadAcceptedSerial(kName, &serial), SerialRecord::kFound);
  EXPECT_EQ(serial, 12u);
}

TEST_F(ConfigSerialRecord, ValuesThatAreNoSerialAreUnreadable) {
  const DWORD number = 12;
  struct Case {
    const char* why;
    DWORD type;
    std::wstring text;  // for REG_SZ
  } cases[] = {
      {"a number, not text", REG_DWORD, L""},
      {"empty", REG_SZ, L""},
      {"not digits", REG_SZ, L"12a"},
      {"negative", REG_SZ, L"-3"},
      {"too long", REG_SZ, std::wstring(19, L'1')},
      {"far too long", REG_SZ, std::wstring(4000, L'1')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    if (c.type == REG_DWORD)
      Store(REG_DWORD, &number, sizeof number);
    else
      Store(REG_SZ, c.text.c_str(), static_cast<DWORD>(c.text.size() * sizeof(wchar_t)));
    uint64_t serial = 77;
    EXPECT_EQ(ReadAcceptedSerial(kName, &serial), SerialRecord::kUnreadable);
    EXPECT_EQ(serial, 77u);
  }
  // A value stored with its terminating zero reads the same.
  Store(REG_SZ, L"31", 3 * sizeof(wchar_t));
  uint64_t serial = 0;
  EXPECT_EQ(ReadAcceptedSerial(kName, &serial), SerialRecord::kFound);
  EXPECT_EQ(serial, 31u);
}

}  // namespace
