#include "install/uninstall_guard.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "base/file_name_rules.h"
#include "base/paths.h"
#include "base/strings.h"
#include "base/text.h"
#include "install/registration.h"
#include "install/uninstall.h"

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, wcslen(prefix), prefix) == 0;
}

// "C:\" or "\\server\share": removing one whole takes a drive or a share.
bool IsRoot(const std::wstring& full) {
  if (full.size() <= 3) return true;
  if (!StartsWith(full, L"\\\\")) return false;
  size_t server = full.find(L'\\', 2);
  return server == std::wstring::npos || full.find(L'\\', server + 1) == std::wstring::npos;
}

// Folders that hold what the user and the system keep. An install folder
// lies below some of them (the application-data folder is a candidate root),
// but never is one or holds one.
std::vector<std::wstring> ProtectedFolders() {
  static const int kFolders[] = {
      CSIDL_PROFILE,        CSIDL_WINDOWS,           CSIDL_SYSTEM,
      CSIDL_PROGRAM_FILES,  CSIDL_PROGRAM_FILESX86,  CSIDL_PROGRAM_FILES_COMMON,
      CSIDL_APPDATA,        CSIDL_LOCAL_APPDATA,     CSIDL_COMMON_APPDATA,
      CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL,
  };
  std::vector<std::wstring> folders;
  for (int id : kFolders) {
    wchar_t buffer[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, id, nullptr, 0, buffer)) && buffer[0])
      folders.push_back(FullFolderPath(buffer));
  }
  wchar_t windows[MAX_PATH] = {};
  UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  if (n > 0 && n < MAX_PATH) folders.push_back(FullFolderPath(windows));
  return folders;
}

}  // namespace

std::wstring FullFolderPath(const std::wstring& path) {
  std::wstring p = path;
  for (auto& c : p)
    if (c == L'/') c = L'\\';
  if (p.size() >= 2 && p.front() == L'"' && p.back() == L'"') p = p.substr(1, p.size() - 2);
  // "\\?\" only turns off the system's normalisation; undo it so that "." and
  // ".." are resolved like everywhere else. Other device paths ("\\.\",
  // volume names, the NT "\??\") never name an install folder.
  if (StartsWith(p, L"\\\\?\\UNC\\")) {
    p = L"\\\\" + p.substr(8);
  } else if (StartsWith(p, L"\\\\?\\")) {
    p = p.substr(4);
    if (p.size() < 2 || p[1] != L':') return std::wstring();
  }
  if (p.empty() || StartsWith(p, L"\\\\.\\") || StartsWith(p, L"\\\\?\\") || StartsWith(p, L"\\??\\"))
    return std::wstring();

  DWORD need = GetFullPathNameW(p.c_str(), 0, nullptr, nullptr);
  if (need == 0) return std::wstring();
  std::wstring full(need, L'\0');
  DWORD n = GetFullPathNameW(p.c_str(), need, &full[0], nullptr);
  if (n == 0 || n >= need) return std::wstring();
  full.resize(n);
  if (StartsWith(full, L"\\\\.\\") || StartsWith(full, L"\\\\?\\")) return std::wstring();
  return base::WithoutTrailingSeparators(full);
}

std::string InstallFolderRefusal(const std::wstring& fullPath, const std::wstring& installName) {
  if (fullPath.empty()) return "not a folder path";
  if (IsRoot(fullPath)) return "a drive or share root";
  DWORD a = GetFileAttributesW(ExtendedLengthPath(fullPath).c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return "no such folder";
  if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return "not a folder";
  // Removing "through" a junction would empty the folder it points at.
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) return "a junction or link";
  for (const std::wstring& folder : ProtectedFolders())
    if (!folder.empty() && IsSameOrInsideFolder(folder, fullPath))
      return "holds the system folder " + base::Utf8(folder);
  if (!base::IsPlainFileName(installName)) return "installName is not a folder name";
  if (!base::SamePathText(base::FileNamePart(fullPath), installName))
    return "its name is not installName " + base::Utf8(installName);
  DWORD ini = GetFileAttributesW(ExtendedLengthPath(fullPath + L"\\" + kUninstallIniName).c_str());
  if (ini == INVALID_FILE_ATTRIBUTES || (ini & FILE_ATTRIBUTE_DIRECTORY)) return "holds no Uninstall.ini";
  return std::string();
}

std::string DesktopLinkRefusal(const std::wstring& link) {
  if (link.empty()) return "no shortcut was made";
  std::wstring full = FullFolderPath(link);
  if (full.empty()) return "not a file path";
  std::wstring desktop = DesktopFolder();
  if (desktop.empty()) return "the desktop folder is unknown";
  std::wstring name = base::FileNamePart(full);
  if (!base::SamePathText(base::DirectoryPart(full), FullFolderPath(desktop)))
    return "not in the desktop folder";
  if (!base::IsPlainFileName(name) || name.size() <= 4 ||
      !base::SamePathText(name.substr(name.size() - 4), L".lnk"))
    return "not a shortcut";
  return std::string();
}

std::string UninstallKeyRefusal(const std::wstring& regPath, const std::wstring& installName) {
  if (!base::SamePathText(regPath, kUninstallRegPath)) return "not the uninstall list key";
  // A "\" in the name would reach a key further down.
  if (!base::IsPlainFileName(installName)) return "installName is not one key name";
  return std::string();
}

std::wstring ExtendedLengthPath(const std::wstring& fullPath) {
  if (StartsWith(fullPath, L"\\\\?\\")) return fullPath;
  if (StartsWith(fullPath, L"\\\\")) return L"\\\\?\\UNC\\" + fullPath.substr(2);
  return L"\\\\?\\" + fullPath;
}
