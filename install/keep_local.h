#pragma once
// `pkgKeepLocal`: the package entries that belong to the player once written
// (settings the game rewrites). They are written when missing and never
// replaced, repaired or deleted by an update. Free of windows.h.
#include <string>
#include <string_view>
#include <vector>

// Patterns separated by ';' or ','. In the configuration file a value ends
// at a blank or ';' (the rest of the line is a comment), so patterns are
// written there with ','. Blanks around a pattern are dropped, '\' is read
// as '/', empty patterns are skipped.
std::vector<std::string> ParseKeepLocal(std::string_view value);

// True when `name` (a manifest name, '/' between components) matches one of
// the patterns: '*' matches any run of characters, '/' included, '?' exactly
// one character; letter case is ignored as Windows ignores it in file names.
// "config/*" matches every file below config/.
bool IsKeptLocal(std::string_view name, const std::vector<std::string>& patterns);
