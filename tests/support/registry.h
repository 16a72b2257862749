#pragma once
// Reading back what the launcher wrote to the registry.
#include <windows.h>

#include <set>
#include <string>
#include <vector>

namespace support {

struct RegistryValue {
  bool found = false;
  DWORD type = 0;
  std::vector<BYTE> data;  // as stored: size() is the value's byte count
  // The data as UTF-16 text, without the one terminating zero the system adds
  // to a string stored without it.
  std::wstring Text() const;
};

bool KeyExists(HKEY root, const std::wstring& subKey);
// `name` empty reads the key's default value.
RegistryValue ReadRegistryValue(HKEY root, const std::wstring& subKey, const std::wstring& name);
// Number of values in the key; 0 when it is absent.
DWORD ValueCount(HKEY root, const std::wstring& subKey);
std::set<std::wstring> SubKeyNames(HKEY root, const std::wstring& subKey);
// Removes the key with all below it; nothing happens when it is absent.
void DeleteRegistryTree(HKEY root, const std::wstring& subKey);

// Sets a value for the life of the owner and then puts back what was there
// before (or removes it): for settings of the user that a test changes.
class ScopedRegistryValue {
 public:
  ScopedRegistryValue(HKEY root, std::wstring subKey, std::wstring name, DWORD type,
                      std::vector<BYTE> data);
  ~ScopedRegistryValue();
  ScopedRegistryValue(const ScopedRegistryValue&) = delete;
  ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;
  bool Set() const { return set_; }

 private:
  HKEY root_;
  std::wstring subKey_;
  std::wstring name_;
  RegistryValue before_;
  bool set_ = false;
};

}  // namespace support
