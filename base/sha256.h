#pragma once
// SHA-256 through Windows CNG.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "base/bcrypt_handles.h"
#include "base/digest_text.h"

class Sha256 {
 public:
  // False, with the reason, when CNG cannot give a SHA-256 object.
  bool Begin(std::string* error);
  bool Add(const void* data, size_t size);
  // The digest of everything added since Begin; the object must Begin again afterwards.
  bool Finish(Sha256Digest* digest);

 private:
  base::UniqueAlgorithm algorithm_;
  base::UniqueHash hash_;
};

bool Sha256OfBytes(const std::string& bytes, Sha256Digest* digest, std::string* error);

// Reads the whole file in blocks and hashes it. `progress(done, total)` is
// called after each block; when it returns false the hashing stops and the
// call fails with the error "stopped".
bool Sha256OfFile(const std::wstring& path, Sha256Digest* digest, std::string* error,
                  const std::function<bool(int64_t, int64_t)>& progress = nullptr);
// The same for a file the caller has open for reading (`name` for the
// errors), read from its start whatever its position.
bool Sha256OfOpenFile(HANDLE file, const std::string& name, Sha256Digest* digest, std::string* error,
                      const std::function<bool(int64_t, int64_t)>& progress = nullptr);
