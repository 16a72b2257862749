#include "net/certificate_check.h"

#include "base/handles.h"

namespace {

struct ChainTraits : base::NullIsEmpty<PCCERT_CHAIN_CONTEXT> {
  static void Close(PCCERT_CHAIN_CONTEXT c) { CertFreeCertificateChain(c); }
};
using UniqueChain = base::UniqueOwner<PCCERT_CHAIN_CONTEXT, ChainTraits>;

UniqueChain ServerChain(PCCERT_CONTEXT cert, DWORD flags) {
  static char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  static char* usages[] = {serverAuth};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &para, flags, nullptr, &chain))
    return UniqueChain();
  return UniqueChain(chain);
}

}  // namespace

bool KnownRevoked(PCCERT_CONTEXT cert) {
  if (!cert) return false;
  UniqueChain chain = ServerChain(cert, CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
                                            CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY);
  return chain && (chain.Get()->TrustStatus.dwErrorStatus & CERT_TRUST_IS_REVOKED);
}
