#pragma once
// What a failed exchange means to the download: the kind of failure behind a
// WinHTTP error code, and the text the user reads. Free of windows.h.
#include <string>

#include "net/transport.h"

// WinHTTP error codes the download tells apart (winhttp.h).
namespace winhttp_code {
constexpr unsigned long kTimeout = 12002;
constexpr unsigned long kNameNotResolved = 12007;
constexpr unsigned long kOperationCancelled = 12017;
constexpr unsigned long kCannotConnect = 12029;
constexpr unsigned long kConnectionError = 12030;
constexpr unsigned long kCertDateInvalid = 12037;
constexpr unsigned long kCertCnInvalid = 12038;
constexpr unsigned long kClientAuthCertNeeded = 12044;
constexpr unsigned long kInvalidCa = 12045;
constexpr unsigned long kCertRevFailed = 12057;
constexpr unsigned long kSecureChannelError = 12157;
constexpr unsigned long kInvalidCert = 12169;
constexpr unsigned long kCertRevoked = 12170;
constexpr unsigned long kSecureFailure = 12175;
constexpr unsigned long kCertWrongUsage = 12179;
}  // namespace winhttp_code

// The reasons named by the flags that WinHTTP reports with a secure failure
// (WINHTTP_CALLBACK_STATUS_SECURE_FAILURE), joined by " and ".
std::string SecureFailureReason(unsigned long flags);

// The kind of failure behind WinHTTP error `code`. `secureFlags` are the
// flags of a secure-failure notification (0 when none came); `connected`
// tells whether the request had been sent, so that a time-out reads as a
// silent server rather than an unreachable one. `detail` gets the reason of a
// TLS failure.
TransportFailure ClassifyWinHttpError(unsigned long code, unsigned long secureFlags,
                                      bool connected, std::string& detail);

// The task's error text for a TLS failure of `url`; empty for every other
// kind, which keeps the download's usual texts.
std::string TlsFailureText(const TransportResult& result, const std::string& url);
