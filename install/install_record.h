#pragma once
// The user's record of the install folder the launcher owns, under
// HKEY_CURRENT_USER\Software\Vorn\<installName>: the folder's install id and
// its path. Only this user can write there, so a folder recorded there (and
// holding the same id) is this user's installation.
#include <string>

// The launcher's own key below HKEY_CURRENT_USER; one subkey per installName.
// Other values of the launcher may live in the same subkey.
constexpr wchar_t kVornRegPath[] = L"Software\\Vorn";
// The two values of the record (REG_SZ).
constexpr wchar_t kInstallIdValue[] = L"installId";
constexpr wchar_t kInstallDirValue[] = L"installDir";

struct InstallRecord {
  std::string installId;    // kInstallIdDigits lower-case hex digits
  std::wstring installDir;  // the install folder, ending with a backslash
};

// kVornRegPath + "\" + installName.
std::wstring InstallRecordKeyPath(const std::wstring& installName);

// True when the record exists and both values are well-formed: an id of
// the right shape and an absolute drive or share path ending with "\".
bool ReadInstallRecord(const std::wstring& installName, InstallRecord* record);
// Writes both values (creating the key); false, with the error logged, when
// either cannot be written.
bool WriteInstallRecord(const std::wstring& installName, const InstallRecord& record);
// Removes the two values of the record (the key and its other values stay).
void ClearInstallRecord(const std::wstring& installName);
