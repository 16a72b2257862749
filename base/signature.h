#pragma once
// Checks a publisher's signature through Windows CNG.
#include <string>

// True when `derSignature` (what "openssl dgst -sha256 -sign" writes: DER
// ECDSA over the SHA-256 of the bytes) signs `data` under `publicKeyPem`, a
// P-256 "PUBLIC KEY". Otherwise false with a short reason.
bool VerifyP256Signature(const std::string& publicKeyPem, const std::string& data,
                         const std::string& derSignature, std::string* reason);
