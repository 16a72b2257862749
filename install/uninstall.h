#pragma once
#include <string>

// Removes an installation in two stages; see uninstall.cpp.
void RunUninstall(const std::wstring& modulePath, const std::wstring& commandLine);
