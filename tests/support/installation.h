#pragma once
// The launcher's mark of an install folder it owns, as a test lays it down or
// reads it back: the folder's "install.id" and the user's record under
// HKEY_CURRENT_USER\Software\Vorn\<installName> (values installId, installDir).
#include <string>

namespace support {

// HKEY_CURRENT_USER's subkey of the record.
std::wstring InstallRecordKey(const std::wstring& installName);
// Marks `dir` (ending with a backslash) as the user's installation `installName`.
void RecordInstallation(const std::wstring& installName, const std::wstring& dir,
                        const std::string& id = "5eed5eed5eed5eed5eed5eed5eed5eed");
// Removes the record's key.
void ForgetInstallation(const std::wstring& installName);
// The recorded folder; empty when there is no record.
std::wstring RecordedInstallDir(const std::wstring& installName);
std::string RecordedInstallId(const std::wstring& installName);

}  // namespace support
