#pragma once
// publish-check --stage: the next release built beside the live one.
#include <cstdint>
#include <cstdio>
#include <string>

struct StageOptions {
  std::string live;     // the folder the web server serves now
  std::string stage;    // the new release folder; must not exist yet
  std::string package;  // the new version's zip
  std::string signKey;  // PEM private key; needed when the live release is signed
  int32_t version = 0;  // the new package version; 0: the live one plus one
};

// Copies the live release into `stage` (hard links where the file system
// allows; every file publish-check changes is replaced, never written
// through), adds the package under the name pkgUrl gives the new version,
// writes the version file, fills checksums, pkgVersion and configSerial,
// signs, checks the result and prints the order in which to publish it.
// Returns the exit status: 0 when the stage is ready.
int StageRelease(const StageOptions& options, std::FILE* out);
