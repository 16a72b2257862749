#pragma once
// A game package as the launcher will unpack it: which entries it writes,
// under which names, and which it refuses.
#include <string>
#include <vector>

struct PackageLayout {
  std::string openError;               // why the zip cannot be read at all; empty when it can
  std::vector<std::string> files;      // file entries the launcher writes, cleaned, "/"-separated
  std::vector<std::string> topLevel;   // the first name of every entry ("dir/" for folders), sorted
  std::vector<std::string> refused;    // "<stored name>: <why the launcher skips it>"

  // True when the launcher writes a file at `relative` ("/"-separated) below
  // the install folder. Windows folds ASCII case in file names.
  bool HasFile(const std::string& relative) const;
};

// Reads the zip's central directory with minizip, as the launcher does, and
// applies the launcher's own entry rules (name cleaning, names that leave the
// folder, compression methods, encryption); of two file names that differ
// only in letter case (one file on Windows), the second is refused.
PackageLayout ReadPackageLayout(const std::string& zipPath);
