// SHA-256 and the publisher signature through CNG, as the launcher checks a
// downloaded file and the install configuration.
#include <gtest/gtest.h>

#include <string>

#include "base/fs.h"
#include "base/sha256.h"
#include "base/signature.h"

namespace {

const char kKeyPem[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEBOI1z3quL62WdJD9hn9/wFTHAmU7\n"
    "QQbggp13PxOefma+Q2Zm/utBDQl2lkzj6Kt7W4ufTPWIxdepisA++w4XXw==\n"
    "-----END PUBLIC KEY-----\n";
const char kOtherKeyPem[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE6y2o4WB0TXH8NYE24sEDugnS5xVh\n"
    "pcpPKmIA31GV63CxB0k5gtVf/9kbcl3WqN+7wP4Pzd3p3PB9FuYH3pWqIw==\n"
    "-----END PUBLIC KEY-----\n";
// What "openssl dgst -sha256 -sign" wrote for kSigned with kKeyPem's private key.
const char kSigned[] = "[common]\npkgName=game\n";
const char kSignatureHex[] =
    "304402207b940c98b94ebbf207086275a78f48ce26e71f6f5746ec3f599824e3b784a65f0220349c55b0c4317216"
    "9d692e041d42eb65d0bde65c25e82023b537cebdf0e91de8";
const char kSignatureWithPaddingHex[] =
    "3045022100e15161130a1b7eb737ff168c6bc89a90e26fdca7d59f3e5a7d93106921f9bcc4022059abf0e7b20fc3"
    "7ebc6da1c80495adb61560e8ae87f0c3495ed8bae2d2325060";

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

std::wstring TempFile(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + name;
}

}  // namespace

TEST(Sha256, KnownDigestsOfBytesAndFiles) {
  Sha256Digest digest;
  std::string error;
  ASSERT_TRUE(Sha256OfBytes("", &digest, &error)) << error;
  EXPECT_EQ(Sha256Text(digest), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  ASSERT_TRUE(Sha256OfBytes("abc", &digest, &error)) << error;
  EXPECT_EQ(Sha256Text(digest), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

  // A file of several read blocks, hashed like the same bytes in memory.
  std::string bytes(2 * 1024 * 1024 + 77, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
  std::wstring path = TempFile(L"vorn-sha256-test.bin");
  ASSERT_TRUE(base::WriteWholeFile(path, bytes));
  Sha256Digest inMemory, fromFile;
  ASSERT_TRUE(Sha256OfBytes(bytes, &inMemory, &error));
  int64_t lastDone = 0, lastTotal = 0;
  int calls = 0;
  ASSERT_TRUE(Sha256OfFile(path, &fromFile, &error, [&](int64_t done, int64_t total) {
    EXPECT_GT(done, lastDone);
    lastDone = done;
    lastTotal = total;
    ++calls;
    return true;
  })) << error;
  EXPECT_EQ(fromFile, inMemory);
  EXPECT_EQ(lastDone, static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(lastTotal, static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(calls, 3);

  // A stop request ends the hashing as a failure.
  EXPECT_FALSE(Sha256OfFile(path, &fromFile, &error, [](int64_t, int64_t) { return false; }));
  EXPECT_EQ(error, "stopped");
  DeleteFileW(path.c_str());
  EXPECT_FALSE(Sha256OfFile(path, &fromFile, &error));
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

TEST(PublisherSignature, OpensslSignaturesVerify) {
  std::string reason;
  EXPECT_TRUE(VerifyP256Signature(kKeyPem, kSigned, FromHex(kSignatureHex), &reason)) << reason;
  EXPECT_TRUE(VerifyP256Signature(kKeyPem, kSigned, FromHex(kSignatureWithPaddingHex), &reason)) << reason;
}

TEST(PublisherSignature, TamperedDataOtherKeyAndBrokenSignatureFail) {
  const std::string signature = FromHex(kSignatureHex);
  std::string tampered = kSigned;
  tampered[tampered.size() - 2] = 'x';
  std::string flipped = signature;
  flipped[10] ^= 1;
  struct Case {
    const char* why;
    std::string key, data, signature;
    const char* reason;
  } cases[] = {
      {"tampered data", kKeyPem, tampered, signature, "signature does not match the publisher key"},
      {"CRLF copy of the data", kKeyPem, "[common]\r\npkgName=game\r\n", signature,
       "signature does not match the publisher key"},
      {"other key", kOtherKeyPem, kSigned, signature, "signature does not match the publisher key"},
      {"changed signature", kKeyPem, kSigned, flipped, "signature does not match the publisher key"},
      {"empty signature", kKeyPem, kSigned, "", "signature is not DER: SEQUENCE expected"},
      {"raw signature", kKeyPem, kSigned, signature.substr(4, 32) + signature.substr(38),
       "signature is not DER: SEQUENCE expected"},
      {"no key", "", kSigned, signature, "publisher key is not a PEM public key"},
  };
  for (const Case& c : cases) {
    std::string reason;
    EXPECT_FALSE(VerifyP256Signature(c.key, c.data, c.signature, &reason)) << c.why;
    EXPECT_EQ(reason, c.reason) << c.why;
  }
}
