#include "support/registry.h"

#include "base/handles.h"

namespace support {
namespace {

base::UniqueKey OpenForReading(HKEY root, const std::wstring& subKey) {
  base::UniqueKey key;
  if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) key.Reset();
  return key;
}

}  // namespace

std::wstring RegistryValue::Text() const {
  std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  if (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

bool KeyExists(HKEY root, const std::wstring& subKey) { return OpenForReading(root, subKey).Valid(); }

RegistryValue ReadRegistryValue(HKEY root, const std::wstring& subKey, const std::wstring& name) {
  RegistryValue value;
  base::UniqueKey key = OpenForReading(root, subKey);
  if (!key) return value;
  const wchar_t* valueName = name.empty() ? nullptr : name.c_str();
  DWORD size = 0;
  if (RegQueryValueExW(key.Get(), valueName, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
    return value;
  value.data.assign(size, 0);
  value.found = RegQueryValueExW(key.Get(), valueName, nullptr, &value.type, value.data.data(), &size) ==
                ERROR_SUCCESS;
  value.data.resize(size);
  return value;
}

DWORD ValueCount(HKEY root, const std::wstring& subKey) {
  base::UniqueKey key = OpenForReading(root, subKey);
  DWORD values = 0;
  if (key)
    RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
  return values;
}

std::set<std::wstring> SubKeyNames(HKEY root, const std::wstring& subKey) {
  std::set<std::wstring> names;
  base::UniqueKey key = OpenForReading(root, subKey);
  if (!key) return names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = 256;
    if (RegEnumKeyExW(key.Get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.insert(name);
  }
  return names;
}

ScopedRegistryValue::ScopedRegistryValue(HKEY root, std::wstring subKey, std::wstring name,
                                         DWORD type, std::vector<BYTE> data)
    : root_(root), subKey_(std::move(subKey)), name_(std::move(name)) {
  before_ = ReadRegistryValue(root_, subKey_, name_);
  base::UniqueKey key;
  if (RegCreateKeyExW(root_, subKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                      nullptr) != ERROR_SUCCESS)
    return;
  set_ = RegSetValueExW(key.Get(), name_.c_str(), 0, type, data.data(),
                        static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

ScopedRegistryValue::~ScopedRegistryValue() {
  base::UniqueKey key;
  if (RegOpenKeyExW(root_, subKey_.c_str(), 0, KEY_SET_VALUE, key.Put()) != ERROR_SUCCESS) return;
  if (before_.found)
    RegSetValueExW(key.Get(), name_.c_str(), 0, before_.type, before_.data.data(),
                   static_cast<DWORD>(before_.data.size()));
  else
    RegDeleteValueW(key.Get(), name_.c_str());
}

void DeleteRegistryTree(HKEY root, const std::wstring& subKey) {
  if (subKey.empty()) return;  // never the whole root
  RegDeleteTreeW(root, subKey.c_str());
  RegDeleteKeyW(root, subKey.c_str());
}

}  // namespace support
