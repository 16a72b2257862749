#include "net/certificate_check.h"

#include "base/handles.h"

namespace {

struct ChainTraits {
  static PCCERT_CHAIN_CONTEXT Empty() { return nullptr; }
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

std::string CertificateFault(PCCERT_CONTEXT cert, const std::wstring& host) {
  if (!cert) return "no certificate";
  UniqueChain chain = ServerChain(cert, 0);
  if (!chain) return "invalid certificate";
  DWORD status = chain.Get()->TrustStatus.dwErrorStatus;
  // The chain's own status first: the SSL policy call alone lets a partial
  // chain through on some systems.
  if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_CYCLIC))
    return "issuer not trusted";
  if (status & CERT_TRUST_IS_NOT_TIME_VALID) return "certificate expired or not yet valid";
  if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return "certificate not meant for servers";
  if (status & CERT_TRUST_IS_REVOKED) return "certificate revoked";
  if (status & ~(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION))
    return "invalid certificate";

  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.pwszServerName = const_cast<wchar_t*>(host.c_str());
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS result{};
  result.cbSize = sizeof result;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Get(), &policy, &result))
    return "invalid certificate";
  switch (static_cast<unsigned long>(result.dwError)) {
    case 0:
      return std::string();
    case static_cast<unsigned long>(CERT_E_CN_NO_MATCH):
      return "certificate names another host";
    case static_cast<unsigned long>(CERT_E_EXPIRED):
      return "certificate expired or not yet valid";
    case static_cast<unsigned long>(CERT_E_UNTRUSTEDROOT):
    case static_cast<unsigned long>(CERT_E_CHAINING):
      return "issuer not trusted";
    default:
      return "invalid certificate";
  }
}
