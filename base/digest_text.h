#pragma once
// SHA-256 digests and their text form in the install configuration. Free of windows.h.
#include <array>
#include <cstdint>
#include <string>

using Sha256Digest = std::array<uint8_t, 32>;

// Exactly 64 hexadecimal digits, in either case, and nothing else.
bool ParseSha256Text(const std::string& text, Sha256Digest* digest);
// 64 lower-case hexadecimal digits.
std::string Sha256Text(const Sha256Digest& digest);
