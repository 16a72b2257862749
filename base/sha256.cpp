#include "base/sha256.h"

#include <memory>

#include "base/error_text.h"
#include "base/text.h"

namespace {

// Big enough that the system call count does not matter, small enough to
// keep the stop request and the progress lively (a few ms per block).
constexpr DWORD kFileBlock = 1 << 20;

std::string StatusText(const char* what, NTSTATUS status) {
  char buffer[96];
  snprintf(buffer, sizeof buffer, "%s failed, status 0x%08lx", what, static_cast<unsigned long>(status));
  return buffer;
}

}  // namespace

bool Sha256::Begin(std::string* error) {
  hash_.Reset();
  if (!algorithm_) {
    NTSTATUS status = BCryptOpenAlgorithmProvider(algorithm_.Put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    if (!BCRYPT_SUCCESS(status)) {
      *error = StatusText("BCryptOpenAlgorithmProvider(SHA256)", status);
      return false;
    }
  }
  // CNG allocates the hash object itself when given no buffer.
  NTSTATUS status = BCryptCreateHash(algorithm_.Get(), hash_.Put(), nullptr, 0, nullptr, 0, 0);
  if (!BCRYPT_SUCCESS(status)) {
    *error = StatusText("BCryptCreateHash", status);
    return false;
  }
  return true;
}

bool Sha256::Add(const void* data, size_t size) {
  const UCHAR* bytes = static_cast<const UCHAR*>(data);
  while (size > 0) {
    ULONG chunk = static_cast<ULONG>(size < (1u << 30) ? size : (1u << 30));
    if (!BCRYPT_SUCCESS(BCryptHashData(hash_.Get(), const_cast<UCHAR*>(bytes), chunk, 0))) return false;
    bytes += chunk;
    size -= chunk;
  }
  return true;
}

bool Sha256::Finish(Sha256Digest* digest) {
  bool ok = BCRYPT_SUCCESS(BCryptFinishHash(hash_.Get(), digest->data(), static_cast<ULONG>(digest->size()), 0));
  hash_.Reset();
  return ok;
}

bool Sha256OfBytes(const std::string& bytes, Sha256Digest* digest, std::string* error) {
  Sha256 sha;
  if (!sha.Begin(error)) return false;
  if (!sha.Add(bytes.data(), bytes.size()) || !sha.Finish(digest)) {
    *error = "hashing failed";
    return false;
  }
  return true;
}

bool Sha256OfFile(const std::wstring& path, Sha256Digest* digest, std::string* error,
                  const std::function<bool(int64_t, int64_t)>& progress) {
  base::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    *error = "cannot open " + base::Utf8(path) + ": " + base::ErrorText(GetLastError());
    return false;
  }
  return Sha256OfOpenFile(file.Get(), base::Utf8(path), digest, error, progress);
}

bool Sha256OfOpenFile(HANDLE file, const std::string& name, Sha256Digest* digest, std::string* error,
                      const std::function<bool(int64_t, int64_t)>& progress) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) {
    *error = "cannot read the size of " + name + ": " + base::ErrorText(GetLastError());
    return false;
  }
  Sha256 sha;
  if (!sha.Begin(error)) return false;
  std::unique_ptr<char[]> block(new char[kFileBlock]);
  int64_t done = 0;
  for (;;) {
    // Positional reads: the handle's own position does not matter, and a
    // handle shared with other readers is read from its start all the same.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(done);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(done) >> 32);
    DWORD read = 0;
    if (!ReadFile(file, block.get(), kFileBlock, &read, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      *error = "cannot read " + name + ": " + base::ErrorText(GetLastError());
      return false;
    }
    if (read == 0) break;
    if (!sha.Add(block.get(), read)) {
      *error = "hashing failed";
      return false;
    }
    done += read;
    if (progress && !progress(done, size.QuadPart)) {
      *error = "stopped";
      return false;
    }
  }
  if (!sha.Finish(digest)) {
    *error = "hashing failed";
    return false;
  }
  return true;
}
