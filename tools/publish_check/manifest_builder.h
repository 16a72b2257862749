#pragma once
// The manifest of a package as publish-check writes it: every file entry the
// launcher writes, read from the zip with minizip, its data hashed.
#include <string>

#include "unpack/package_manifest.h"

// Reads every entry of the zip (the central directory for names, method, CRC
// and sizes; the local header, through minizip, for where the compressed data
// begin), inflates it to hash it and to check its CRC, and gives the manifest
// the launcher's parser accepts. False, with the reason, for a package the
// launcher would refuse or could not update by entries: a method other than
// stored or deflated, encryption, a name that leaves the folder or cannot be
// a manifest name, two names that are one file on Windows, data that run
// past the end of the file or do not match their CRC.
bool BuildPackageManifest(const std::string& zipPath, PackageManifest* manifest, std::string* error);
