#pragma once
// The install folder's side of the list of installed files: what is on disk
// under a listed name, and deleting the listed files a new package dropped.
#include <string>
#include <vector>

#include "workflow/ledger_rules.h"

// What is on disk under `name` (a listed name, '/' between folders) below
// `installDir` (ending with a backslash). A name that would resolve outside
// the folder is never looked at and reads as missing.
ListedFileOnDisk LookAtInstalledFile(const std::wstring& installDir, const std::string& name);

// Deletes the files `gone` names below `installDir`, read-only ones too.
// Never a folder, never a name that resolves outside the install folder, and
// never one that lands on the same file as one of `keep` (the new package's
// files, which the file system may spell in another letter case). Returns
// the names still on disk afterwards (a file another program holds open).
std::vector<std::string> DeleteFilesGone(const std::wstring& installDir, const std::vector<std::string>& gone,
                                         const std::vector<std::string>& keep);
