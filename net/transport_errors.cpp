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

}  // namespace

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
