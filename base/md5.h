#pragma once
// MD5 (RFC 1321), computed in the process. Used only to name a run in the
// statistics reports, never for integrity: the system's crypto providers cost
// a start more than a few bytes are worth hashing (they load their libraries
// on first use).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace base {

using Md5Digest = std::array<uint8_t, 16>;

Md5Digest Md5(const void* data, size_t size);
inline Md5Digest Md5(const std::string& bytes) { return Md5(bytes.data(), bytes.size()); }

}  // namespace base
