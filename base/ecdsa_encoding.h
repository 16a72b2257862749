#pragma once
// The publisher's P-256 public key and ECDSA signatures in the forms openssl
// writes them (a PEM "PUBLIC KEY", a DER signature), turned into the raw
// numbers that CNG takes. Free of windows.h.
#include <array>
#include <cstdint>
#include <string>

struct P256PublicKey {
  std::array<uint8_t, 32> x{};
  std::array<uint8_t, 32> y{};
};

// A PEM "PUBLIC KEY" block holding an uncompressed point on the curve P-256
// (prime256v1). False, with the reason in `error`, for anything else.
bool ParseP256PublicKeyPem(const std::string& pem, P256PublicKey* key, std::string* error);

// A DER ECDSA-Sig-Value (SEQUENCE of two INTEGERs r and s) as r || s, each
// left-padded to 32 bytes. Strict DER: minimal lengths and integers, no
// negative numbers, nothing after the sequence.
bool EcdsaDerToRaw(const std::string& der, std::array<uint8_t, 64>* raw, std::string* error);

// Standard base64 with "=" padding; white space (line breaks of a PEM body)
// is skipped. False for any other character or a broken length.
bool DecodeBase64(const std::string& text, std::string* bytes);
