#pragma once
// The install id on disk: made, written into the install folder and read back.
#include <windows.h>

#include <string>

// A new random id (CNG's system generator); empty when none can be made.
std::string NewInstallId();

// Writes `id` to dir\install.id (`dir` ends with a backslash), replacing
// what was there. False when it cannot be written.
bool WriteInstallIdFile(const std::wstring& dir, const std::string& id);

// The id in dir\install.id; empty when the file is missing, is a link or
// holds anything but one id.
std::string ReadInstallIdFile(const std::wstring& dir);

// The same, for the install.id inside an open folder.
std::string ReadInstallIdIn(HANDLE folder);
