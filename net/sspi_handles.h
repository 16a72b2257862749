#pragma once
// Owners for the socket, the Schannel credentials and context, and the
// certificate objects of one TLS connection.
#include <winsock2.h>
#include <windows.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <utility>

#include "base/handles.h"

namespace net {

struct SocketTraits {
  static SOCKET Empty() { return INVALID_SOCKET; }
  static void Close(SOCKET s) { closesocket(s); }
};
using UniqueSocket = base::UniqueOwner<SOCKET, SocketTraits>;

struct CertContextTraits {
  static PCCERT_CONTEXT Empty() { return nullptr; }
  static void Close(PCCERT_CONTEXT c) { CertFreeCertificateContext(c); }
};
using UniqueCertContext = base::UniqueOwner<PCCERT_CONTEXT, CertContextTraits>;

struct CertChainTraits {
  static PCCERT_CHAIN_CONTEXT Empty() { return nullptr; }
  static void Close(PCCERT_CHAIN_CONTEXT c) { CertFreeCertificateChain(c); }
};
using UniqueCertChain = base::UniqueOwner<PCCERT_CHAIN_CONTEXT, CertChainTraits>;

// The system's SSPI functions, from secur32.dll loaded by its full path in
// the system folder on first use: a run that never opens a TLS connection
// does not load the security packages at start-up, and a file of that name
// beside the launcher (in a downloads folder, say) is never loaded. Null
// when the library or its entry point is missing.
const SecurityFunctionTableW* Sspi();

// An SSPI handle (credentials or context) with the call that frees it.
template <class Free>
class UniqueSecHandle {
 public:
  UniqueSecHandle() { SecInvalidateHandle(&handle_); }
  ~UniqueSecHandle() { Reset(); }
  UniqueSecHandle(const UniqueSecHandle&) = delete;
  UniqueSecHandle& operator=(const UniqueSecHandle&) = delete;
  bool Valid() const { return SecIsValidHandle(&handle_); }
  PSecHandle Get() { return Valid() ? &handle_ : nullptr; }
  // The slot for a call that fills it in; the handle counts once filled.
  PSecHandle Slot() { return &handle_; }
  void Reset() {
    if (Valid()) Free()(&handle_);
    SecInvalidateHandle(&handle_);
  }

 private:
  SecHandle handle_;
};
struct FreeCredentials {
  void operator()(PSecHandle h) const { Sspi()->FreeCredentialsHandle(h); }
};
struct DeleteContext {
  void operator()(PSecHandle h) const { Sspi()->DeleteSecurityContext(h); }
};
using UniqueCredentials = UniqueSecHandle<FreeCredentials>;
using UniqueSecurityContext = UniqueSecHandle<DeleteContext>;

// A buffer the security package allocated (ISC_REQ_ALLOCATE_MEMORY).
class PackageBuffer {
 public:
  PackageBuffer() = default;
  ~PackageBuffer() { Reset(); }
  PackageBuffer(const PackageBuffer&) = delete;
  PackageBuffer& operator=(const PackageBuffer&) = delete;
  void Reset(void* p = nullptr) {
    if (p_) Sspi()->FreeContextBuffer(p_);
    p_ = p;
  }

 private:
  void* p_ = nullptr;
};

// WSAStartup for the lifetime of the owner.
class WinsockScope {
 public:
  WinsockScope() {
    WSADATA data;
    ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockScope() {
    if (ok_) WSACleanup();
  }
  WinsockScope(const WinsockScope&) = delete;
  WinsockScope& operator=(const WinsockScope&) = delete;
  bool Ok() const { return ok_; }

 private:
  bool ok_ = false;
};

}  // namespace net
