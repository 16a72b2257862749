#pragma once
// Removing a folder tree through handles: every folder is opened once
// without following a reparse point, its entries are opened relative to
// that handle and deleted through their own handles. A junction swapped in
// for a folder after it was looked at is never entered.
#include <windows.h>

#include <string>

// Removes everything in the open folder `folder` (from base::OpenFolderNoFollow),
// depth first, and marks the folder itself for deletion (it goes when the
// handle is closed). The entry named `last` in it, if any, is removed only
// after all others. Read-only entries are removed too; links are removed,
// never entered. Stops at the first entry that cannot be removed. Returns 0
// or the Win32 error of that entry.
unsigned long RemoveOpenedTree(HANDLE folder, const std::wstring& last = std::wstring());

// Removes a folder with everything in it, the same way; a folder that is
// itself a link is not touched (ERROR_ACCESS_DENIED), a file is refused
// (ERROR_DIRECTORY). Paths longer than MAX_PATH are reached. 0 or the Win32
// error of the entry that stopped it.
unsigned long RemoveDirectoryTree(const std::wstring& dir);
