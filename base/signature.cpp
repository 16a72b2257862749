#include "base/signature.h"

#include <cstring>
#include <vector>

#include "base/bcrypt_handles.h"
#include "base/ecdsa_encoding.h"
#include "base/sha256.h"

bool VerifyP256Signature(const std::string& publicKeyPem, const std::string& data,
                         const std::string& derSignature, std::string* reason) {
  P256PublicKey point;
  if (!ParseP256PublicKeyPem(publicKeyPem, &point, reason)) return false;
  std::array<uint8_t, 64> raw;
  if (!EcdsaDerToRaw(derSignature, &raw, reason)) return false;
  Sha256Digest digest;
  if (!Sha256OfBytes(data, &digest, reason)) return false;

  base::UniqueAlgorithm algorithm;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(algorithm.Put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
    *reason = "ECDSA P-256 is not available";
    return false;
  }
  // BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y, big-endian.
  std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 64);
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, point.x.data(), 32);
  std::memcpy(blob.data() + sizeof header + 32, point.y.data(), 32);
  base::UniqueCryptKey key;
  if (!BCRYPT_SUCCESS(BCryptImportKeyPair(algorithm.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.Put(),
                                          blob.data(), static_cast<ULONG>(blob.size()), 0))) {
    *reason = "publisher key is not a point on P-256";
    return false;
  }
  NTSTATUS status = BCryptVerifySignature(key.Get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                          raw.data(), static_cast<ULONG>(raw.size()), 0);
  if (!BCRYPT_SUCCESS(status)) {
    *reason = "signature does not match the publisher key";
    return false;
  }
  return true;
}
