// trust_ca CERT.pem: adds a certificate (PEM or DER) to the local machine's
// "Root" store, so that WinHTTP trusts servers whose chain ends in it. For the
// throw-away CA of tests and the demo, inside their own wine prefix only.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/handles.h"

namespace {

struct CertStoreTraits : base::NullIsEmpty<HCERTSTORE> {
  static void Close(HCERTSTORE store) { CertCloseStore(store, 0); }
};
using UniqueCertStore = base::UniqueOwner<HCERTSTORE, CertStoreTraits>;

bool ReadFileBytes(const wchar_t* path, std::vector<BYTE>& bytes) {
  base::UniqueFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart >= (1 << 20))
    return false;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  return ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
         got == bytes.size();
}

// PEM text becomes DER; anything else is taken as DER already.
std::vector<BYTE> ToDer(const std::vector<BYTE>& bytes) {
  DWORD size = 0;
  const char* text = reinterpret_cast<const char*>(bytes.data());
  if (!CryptStringToBinaryA(text, static_cast<DWORD>(bytes.size()), CRYPT_STRING_BASE64HEADER,
                            nullptr, &size, nullptr, nullptr))
    return bytes;
  std::vector<BYTE> der(size);
  if (!CryptStringToBinaryA(text, static_cast<DWORD>(bytes.size()), CRYPT_STRING_BASE64HEADER,
                            der.data(), &size, nullptr, nullptr))
    return bytes;
  der.resize(size);
  return der;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: trust_ca CERT.pem\n");
    return 2;
  }
  std::vector<BYTE> bytes;
  if (!ReadFileBytes(argv[1], bytes)) {
    fprintf(stderr, "trust_ca: cannot read %ls (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  std::vector<BYTE> der = ToDer(bytes);
  UniqueCertStore store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                      CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
  if (!store) {
    fprintf(stderr, "trust_ca: cannot open the machine's Root store (error %lu)\n", GetLastError());
    return 1;
  }
  BOOL added = CertAddEncodedCertificateToStore(store.Get(), X509_ASN_ENCODING, der.data(),
                                                static_cast<DWORD>(der.size()),
                                                CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  if (!added) {
    fprintf(stderr, "trust_ca: cannot add %ls (error 0x%08lx)\n", argv[1], GetLastError());
    return 1;
  }
  printf("trust_ca: %ls added to the machine's trusted roots\n", argv[1]);
  return 0;
}
