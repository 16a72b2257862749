#include "net/transport_errors.h"

#include <cstdio>

namespace {

struct FlagReason {
  unsigned long flag;
  const char* reason;
};

// WINHTTP_CALLBACK_STATUS_FLAG_* values.
constexpr FlagReason kFlagReasons[] = {
    {0x00000008, "issuer not trusted"},
    {0x00000010, "certificate names another host"},
    {0x00000020, "certificate expired or not yet valid"},
    {0x00000004, "certificate revoked"},
    {0x00000001, "revocation check failed"},
    {0x00000002, "invalid certificate"},
    {0x00000040, "certificate not meant for servers"},
    {0x80000000, "secure channel error"},
};

struct ErrorFlag {
  unsigned long error;
  unsigned long flag;
};

// Chain policy results (winerror.h) and the flags of the same meaning.
constexpr ErrorFlag kErrorFlags[] = {
    {0x800B0109, 0x00000008},  // CERT_E_UNTRUSTEDROOT
    {0x800B010A, 0x00000008},  // CERT_E_CHAINING
    {0x800B0112, 0x00000008},  // CERT_E_UNTRUSTEDCA
    {0x800B010D, 0x00000008},  // CERT_E_UNTRUSTEDTESTROOT
    {0x800B010F, 0x00000010},  // CERT_E_CN_NO_MATCH
    {0x800B0101, 0x00000020},  // CERT_E_EXPIRED
    {0x800B0102, 0x00000020},  // CERT_E_VALIDITYPERIODNESTING
    {0x80092010, 0x00000004},  // CRYPT_E_REVOKED
    {0x800B010E, 0x00000001},  // CERT_E_REVOCATION_FAILURE
    {0x80092012, 0x00000001},  // CRYPT_E_NO_REVOCATION_CHECK
    {0x80092013, 0x00000001},  // CRYPT_E_REVOCATION_OFFLINE
    {0x800B0110, 0x00000040},  // CERT_E_WRONG_USAGE
    {0x800B0106, 0x00000040},  // CERT_E_PURPOSE
};

}  // namespace

unsigned long CertificateFailureFlags(unsigned long error) {
  for (const ErrorFlag& e : kErrorFlags)
    if (e.error == error) return e.flag;
  return 0x00000002;  // invalid certificate
}

std::string SecureFailureReason(unsigned long flags) {
  std::string text;
  for (const FlagReason& f : kFlagReasons) {
    if (!(flags & f.flag)) continue;
    if (!text.empty()) text += " and ";
    text += f.reason;
  }
  if (text.empty()) text = "unknown reason";
  return text;
}

TransportFailure ClassifyWinHttpError(unsigned long code, unsigned long secureFlags,
                                      bool connected, std::string& detail) {
  using namespace winhttp_code;
  detail.clear();
  switch (code) {
    case kOperationCancelled:
      return TransportFailure::kStopped;
    case kNameNotResolved:
    case kCannotConnect:
      return TransportFailure::kConnection;
    case kTimeout:
      return connected ? TransportFailure::kBroken : TransportFailure::kConnection;
    case kSecureFailure:
      // Only a channel error among the flags is a handshake failure; the
      // other flags name what is wrong with the certificate.
      if (secureFlags == 0x80000000ul) {
        detail = "secure channel error";
        return TransportFailure::kTlsHandshake;
      }
      detail = SecureFailureReason(secureFlags);
      return TransportFailure::kTlsCertificate;
    case kInvalidCa:
      detail = "issuer not trusted";
      return TransportFailure::kTlsCertificate;
    case kCertCnInvalid:
      detail = "certificate names another host";
      return TransportFailure::kTlsCertificate;
    case kCertDateInvalid:
      detail = "certificate expired or not yet valid";
      return TransportFailure::kTlsCertificate;
    case kCertRevoked:
      detail = "certificate revoked";
      return TransportFailure::kTlsCertificate;
    case kCertRevFailed:
      detail = "revocation check failed";
      return TransportFailure::kTlsCertificate;
    case kInvalidCert:
      detail = "invalid certificate";
      return TransportFailure::kTlsCertificate;
    case kCertWrongUsage:
      detail = "certificate not meant for servers";
      return TransportFailure::kTlsCertificate;
    case kClientAuthCertNeeded:
      detail = "server asks for a client certificate";
      return TransportFailure::kTlsHandshake;
    case kSecureChannelError:
      // wine reports an untrusted certificate with this code too, and without
      // secure-failure flags, so it cannot be told from a failed handshake.
      detail = "12157";
      return TransportFailure::kTlsHandshake;
    default:
      return connected ? TransportFailure::kBroken : TransportFailure::kConnection;
  }
}

std::string TlsFailureText(const TransportResult& result, const std::string& url) {
  switch (result.failure) {
    case TransportFailure::kTlsCertificate:
      return "tls certificate rejected: " + result.detail + ", url: " + url;
    case TransportFailure::kTlsHandshake:
      if (result.systemCode == winhttp_code::kSecureChannelError)
        return "tls handshake failed or certificate rejected (12157), url: " + url;
      return "tls handshake failed: " + result.detail + " (" + std::to_string(result.systemCode) +
             "), url: " + url;
    default:
      return std::string();
  }
}
