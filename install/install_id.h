#pragma once
// The install id: a random name the launcher gives an install folder it owns,
// kept in a file of its own in the folder and in the user's install record.
// Pure text handling; free of windows.h.
#include <cstddef>
#include <string>

// The file in the install folder that holds the id.
constexpr wchar_t kInstallIdFileName[] = L"install.id";
// An id is this many lower-case hex digits (128 random bits).
constexpr size_t kInstallIdDigits = 32;

// The id text for 16 random bytes.
std::string InstallIdFromBytes(const unsigned char (&bytes)[16]);

// The id a file holds: its bytes must be exactly one id, optionally followed
// by one line end; anything else gives an empty text.
std::string InstallIdFromFileText(const std::string& text);

// True for exactly kInstallIdDigits lower-case hex digits.
bool IsInstallId(const std::string& text);
