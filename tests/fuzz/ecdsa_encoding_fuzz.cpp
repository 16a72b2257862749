// The signature file comes from the configuration server and the key text
// from a build input: neither may make the readers read out of bounds, and
// what they accept must be what they describe.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/ecdsa_encoding.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  std::array<uint8_t, 64> raw{};
  std::string error;
  if (EcdsaDerToRaw(bytes, &raw, &error)) {
    // Strict DER: a SEQUENCE of two INTEGERs with short lengths fills exactly the input.
    FUZZ_CHECK(size >= 8 && size <= 72 && data[0] == 0x30 && data[1] + 2u == size, fuzz::Shown(bytes));
  } else {
    FUZZ_CHECK(!error.empty(), fuzz::Shown(bytes));
  }

  P256PublicKey key;
  error.clear();
  if (!ParseP256PublicKeyPem(bytes, &key, &error)) FUZZ_CHECK(!error.empty(), fuzz::Shown(bytes));

  std::string decoded;
  if (DecodeBase64(bytes, &decoded)) FUZZ_CHECK(decoded.size() <= size * 3 / 4 + 3, fuzz::Shown(bytes));
  return 0;
}
