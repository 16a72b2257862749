#pragma once
// Reading the package version numbers that the server publishes and that
// "pkg.ver" holds; free of windows.h so that it can be tested anywhere.
#include <cstdint>
#include <string>

// The decimal integer at the start of `text`: leading white space, an optional
// sign, then digits up to the first other character. Text without digits reads
// as 0; values outside the signed 32-bit range are clamped to its limits.
int32_t ReadVersionNumber(const std::string& text);
