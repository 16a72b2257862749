#pragma once
// Folders and the entries in them reached through open handles, so that a
// junction or link swapped in after a check is never followed: a folder is
// opened once, without following a reparse point, and every entry below it is
// opened relative to its folder's handle.
#include <string>
#include <vector>

#include "base/handles.h"

namespace base {

// What an entry opened by OpenInFolder may be.
enum class EntryKind { kAny, kFileOnly };

// What a folder is opened for: reading its entries, or removing it too.
enum class FolderUse { kRead, kRemove };

// Opens the folder `path` itself, never what a reparse point there points at:
// ERROR_ACCESS_DENIED when it is a junction or link, ERROR_DIRECTORY when it
// is no folder. The handle may list and open entries; for kRemove it may also
// set attributes and delete (which fails while another process has the
// folder as its current folder). Others may still open and delete entries
// in it. 0 or the Win32 error.
unsigned long OpenFolderNoFollow(const std::wstring& path, UniqueFile* folder, FolderUse use = FolderUse::kRemove);

// Opens the entry `name` (one name, no separators) of the folder `folder`
// with `access` (plus SYNCHRONIZE), not following a reparse point; sharing
// read, write and delete. 0 or the Win32 error.
unsigned long OpenInFolder(HANDLE folder, const std::wstring& name, unsigned long access, EntryKind kind,
                           UniqueFile* entry);

// The names of the entries in an open folder, "." and ".." left out.
unsigned long ListFolder(HANDLE folder, std::vector<std::wstring>* names);

// Attributes of an open file or folder; INVALID_FILE_ATTRIBUTES on failure.
unsigned long AttributesOf(HANDLE handle);

}  // namespace base
