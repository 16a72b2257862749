#pragma once
#include <string>

// Ends the first running process whose executable's full path equals `path`
// (UTF-8, compared case-insensitively as wide text). True only if one was ended.
bool KillProcessByPath(const std::string& path);
