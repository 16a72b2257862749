#include "base/ecdsa_encoding.h"

#include <cstring>

namespace {

// SubjectPublicKeyInfo of an id-ecPublicKey on prime256v1, up to the point:
// SEQUENCE { SEQUENCE { OID 1.2.840.10045.2.1, OID 1.2.840.10045.3.1.7 },
// BIT STRING (66 bytes, no unused bits) }. Every P-256 public key that
// openssl writes starts with exactly these bytes.
const uint8_t kP256SpkiPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                   0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                   0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00};
constexpr uint8_t kUncompressedPoint = 0x04;

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// One DER INTEGER at `at`, left-padded into `out`; moves `at` past it.
bool ReadInteger(const std::string& der, size_t& at, uint8_t* out, size_t outSize, std::string* error) {
  if (at + 2 > der.size() || static_cast<uint8_t>(der[at]) != 0x02) {
    *error = "signature is not DER: INTEGER expected";
    return false;
  }
  size_t length = static_cast<uint8_t>(der[at + 1]);
  at += 2;
  if (length == 0 || length >= 0x80 || at + length > der.size()) {
    *error = "signature is not DER: bad INTEGER length";
    return false;
  }
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(der.data()) + at;
  if (bytes[0] & 0x80) {
    *error = "signature is not DER: negative INTEGER";
    return false;
  }
  if (length > 1 && bytes[0] == 0 && !(bytes[1] & 0x80)) {
    *error = "signature is not DER: INTEGER not minimal";
    return false;
  }
  // A leading zero only keeps the sign positive; drop it.
  size_t skip = (bytes[0] == 0 && length > 1) ? 1 : 0;
  if (length - skip > outSize) {
    *error = "signature number too large for P-256";
    return false;
  }
  std::memset(out, 0, outSize);
  std::memcpy(out + outSize - (length - skip), bytes + skip, length - skip);
  at += length;
  return true;
}

}  // namespace

bool DecodeBase64(const std::string& text, std::string* bytes) {
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  int padding = 0;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    int value = Base64Value(c);
    if (value < 0 || padding > 0) return false;  // data after padding
    bits = (bits << 6) | static_cast<uint32_t>(value);
    if (++count == 4) {
      out += static_cast<char>((bits >> 16) & 0xff);
      out += static_cast<char>((bits >> 8) & 0xff);
      out += static_cast<char>(bits & 0xff);
      bits = 0;
      count = 0;
    }
  }
  // What is left must be a group of 2 or 3 digits completed by its padding.
  if (count == 1 || (count == 0 && padding != 0) || (count > 0 && count + padding != 4)) return false;
  if (count == 2) out += static_cast<char>((bits >> 4) & 0xff);
  if (count == 3) {
    out += static_cast<char>((bits >> 10) & 0xff);
    out += static_cast<char>((bits >> 2) & 0xff);
  }
  *bytes = out;
  return true;
}

bool ParseP256PublicKeyPem(const std::string& pem, P256PublicKey* key, std::string* error) {
  static const char kBegin[] = "-----BEGIN PUBLIC KEY-----";
  static const char kEnd[] = "-----END PUBLIC KEY-----";
  size_t begin = pem.find(kBegin);
  size_t end = begin == std::string::npos ? begin : pem.find(kEnd, begin);
  if (begin == std::string::npos || end == std::string::npos) {
    *error = "publisher key is not a PEM public key";
    return false;
  }
  begin += sizeof kBegin - 1;
  std::string der;
  if (!DecodeBase64(pem.substr(begin, end - begin), &der)) {
    *error = "publisher key has broken base64";
    return false;
  }
  if (der.size() != sizeof kP256SpkiPrefix + 1 + 64 ||
      std::memcmp(der.data(), kP256SpkiPrefix, sizeof kP256SpkiPrefix) != 0 ||
      static_cast<uint8_t>(der[sizeof kP256SpkiPrefix]) != kUncompressedPoint) {
    *error = "publisher key is not an uncompressed P-256 key";
    return false;
  }
  const char* point = der.data() + sizeof kP256SpkiPrefix + 1;
  std::memcpy(key->x.data(), point, 32);
  std::memcpy(key->y.data(), point + 32, 32);
  return true;
}

bool EcdsaDerToRaw(const std::string& der, std::array<uint8_t, 64>* raw, std::string* error) {
  if (der.size() < 2 || static_cast<uint8_t>(der[0]) != 0x30) {
    *error = "signature is not DER: SEQUENCE expected";
    return false;
  }
  size_t length = static_cast<uint8_t>(der[1]);
  // Two INTEGERs of at most 33 bytes each fit a short-form length.
  if (length >= 0x80 || length + 2 != der.size()) {
    *error = "signature is not DER: bad SEQUENCE length";
    return false;
  }
  size_t at = 2;
  std::array<uint8_t, 64> out{};
  if (!ReadInteger(der, at, out.data(), 32, error) || !ReadInteger(der, at, out.data() + 32, 32, error))
    return false;
  if (at != der.size()) {
    *error = "signature is not DER: bytes after the numbers";
    return false;
  }
  *raw = out;
  return true;
}
