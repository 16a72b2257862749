#pragma once
// What the list of installed files ("pkg.files") says about the install
// folder, as pure decisions: which listed files a new package no longer has,
// the list after an update that was cut short, and which listed files are
// not on disk as listed. Free of windows.h; the disk is asked by the caller.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "install/installed_files.h"

// The files `old` lists that `newNames` (the new package's files) no longer
// has, in the old list's order: the ones to delete. Names compare without
// regard to ASCII letter case, as the file system compares them (the caller
// guards the rest of Unicode on the disk); files matching `keepLocal` are
// the player's and never among them.
std::vector<std::string> LedgerFilesGone(const InstalledFiles& old, const std::vector<std::string>& newNames,
                                         const std::vector<std::string>& keepLocal);

// The list after an update that put only some of its files in place:
// `old` with each of `placed` replacing the line of its name (or added),
// because a file that was not replaced still holds what `old` says.
InstalledFiles LedgerAfterPartialUpdate(const InstalledFiles& old, const std::vector<InstalledFile>& placed);

// What is on disk under a listed name.
struct ListedFileOnDisk {
  enum Kind { kMissing, kFile, kNotAFile } kind = kMissing;
  uint64_t size = 0;
};

// A listed file that is not on disk as listed.
struct LedgerMismatch {
  enum Fault { kMissing, kWrongSize, kNotAFile } fault = kMissing;
  std::string name;
};

// The listed files that are missing, have another size than listed, or are
// something else than a file (a folder in their place), in list order; no
// file is hashed. A file matching `keepLocal` is the player's: only its
// absence counts. `disk` tells what is on disk under a listed name.
std::vector<LedgerMismatch> FindLedgerMismatches(const InstalledFiles& ledger, const std::vector<std::string>& keepLocal,
                                                 const std::function<ListedFileOnDisk(const std::string& name)>& disk);
