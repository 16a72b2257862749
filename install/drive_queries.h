#pragma once
// The drive, folder and record queries behind the choice of the install
// folder, kept behind one small interface so that tests can play any machine.
#include <cstdint>
#include <string>

#include "install/install_record.h"

class IDriveQueries {
 public:
  virtual ~IDriveQueries() = default;
  // The roaming application-data folder without a trailing separator; false when unknown.
  virtual bool AppDataFolder(std::wstring& folder) = 0;
  // GetDriveTypeW of a root path such as "d:\" (3 is a fixed drive).
  virtual unsigned DriveType(const std::wstring& root) = 0;
  // Free bytes available to the caller on the volume holding `path`; false on failure.
  virtual bool FreeBytes(const std::wstring& path, uint64_t& bytes) = 0;
  // True when `path` (a trailing separator allowed) is an existing folder.
  virtual bool FolderExists(const std::wstring& path) = 0;
  // True when `path` is a junction, a symbolic link or another reparse point.
  virtual bool IsReparsePoint(const std::wstring& path) { (void)path; return false; }
  // Creates `path` with every missing parent: 0 or the Win32 error; `created`
  // tells whether the last component was made by this call.
  // The real one makes the last component private to the user (folder_ownership.h).
  virtual unsigned long CreateFolderTree(const std::wstring& path, bool& created) = 0;

  // The rest do what the real machine does unless a test plays them.
  // Why the existing folder `dir` is not this user's own (owner, other
  // accounts' write access); empty when it is.
  virtual std::string OwnershipRefusal(const std::wstring& dir);
  // True when `dir` holds a file that every installation of the launcher
  // has: "pkg.ver", "weiduan.ver", "Uninstall.ini" or "install.id".
  virtual bool HoldsInstallationFiles(const std::wstring& dir);
  // The install id file inside `dir` (install_id_file.h).
  virtual std::string ReadInstallId(const std::wstring& dir);
  virtual bool WriteInstallId(const std::wstring& dir, const std::string& id);
  virtual std::string NewInstallId();
  // The user's install record (install_record.h).
  virtual bool ReadRecord(const std::wstring& installName, InstallRecord& record);
  virtual bool WriteRecord(const std::wstring& installName, const InstallRecord& record);
};

// The queries the install folder choice uses: the real Win32 ones unless a
// test has put others in place.
IDriveQueries& CurrentDriveQueries();
// Puts `queries` in place; null brings the real ones back.
void SetDriveQueriesForTest(IDriveQueries* queries);

// The root of a path: "d:\" for "d:\games\x", "\\server\share\" for a UNC path.
std::wstring RootPathOf(const std::wstring& path);
