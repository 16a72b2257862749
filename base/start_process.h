#pragma once
#include <string>

// Starts a program through the shell; elevated ("runas") when asked. Failures
// are logged with the system error code and returned as false.
bool StartProcess(const std::wstring& exePath, const std::wstring& params, bool elevate, int showMode);
