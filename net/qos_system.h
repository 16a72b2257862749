#pragma once
// What a statistics report says about the machine and the launcher, asked
// from the running system.
#include <string>

// Address of the first Ethernet adapter, "00-1A-2B-3C-4D-5E"; empty without one.
std::string NetworkAddressText();

// "\StringFileInfo\080404b0\FileVersion" of a module file, UTF-8; empty on any failure.
std::string FileVersionOf(const std::wstring& modulePath);
// The same for the running executable.
std::string LauncherFileVersion();

// Name of the running Windows version (see OsNameFor), computed once.
std::string RunningOsName();
