#include "net/tls_stream.h"

#include "net/socket_connection.h"
#include "net/sspi_handles.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/log.h"
#include "base/text.h"
#include "net/receive_block.h"
#include "net/transport_errors.h"

namespace {

constexpr size_t kHandshakeLimit = 256 * 1024;

constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY |
                                ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                                ISC_REQ_USE_SUPPLIED_CREDS;

// Reasons of a failed chain check, as the other transport names them.
std::string CertificateProblem(DWORD error) {
  return SecureFailureReason(CertificateFailureFlags(static_cast<unsigned long>(error)));
}

void SetFailure(TransportResult& result, TransportFailure failure, const std::string& detail,
                unsigned long code) {
  result.failure = failure;
  result.detail = detail;
  result.systemCode = code;
}

}  // namespace

struct TlsStream::Session {
  const SecurityFunctionTableW* sspi = net::Sspi();
  SocketConnection connection;
  net::UniqueCredentials credentials;
  net::UniqueSecurityContext context;
  SecPkgContext_StreamSizes sizes{};
  ReceiveBlock in;  // large receives are what makes this connection fast
  size_t inUsed = 0;     // bytes in `in`
  size_t cipherAt = 0;   // where records not yet decrypted begin
  bool closed = false;   // the peer ended the TLS session

  bool Handshake(const std::wstring& host, const std::function<bool()>& keepGoing,
                 TransportResult& result);
  bool CheckCertificate(const std::wstring& host, TransportResult& result);
  // Appends what the connection brings to `in`.
  StreamRead ReceiveMore(const std::function<bool()>& keepGoing) {
    size_t got = 0;
    size_t offered = in.Offer(inUsed);
    StreamRead r = connection.ReceiveSome(in.data() + inUsed, offered, got, keepGoing);
    if (r == StreamRead::kData) in.Received(offered, got);
    inUsed += got;
    return r;
  }
};

bool TlsStream::Session::Handshake(const std::wstring& host,
                                      const std::function<bool()>& keepGoing,
                                      TransportResult& result) {
  SCHANNEL_CRED cred{};
  cred.dwVersion = SCHANNEL_CRED_VERSION;
  cred.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
  // The certificate is checked below, against the system's store, with the
  // host's name; no client certificate is ever offered.
  cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  if (!sspi) {
    SetFailure(result, TransportFailure::kTlsHandshake, "no secure channel on this system", 0);
    return false;
  }
  TimeStamp expiry;
  SECURITY_STATUS status = sspi->AcquireCredentialsHandleW(
      nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr,
      nullptr, credentials.Slot(), &expiry);
  if (status != SEC_E_OK) {
    SetFailure(result, TransportFailure::kTlsHandshake, "no TLS 1.2 on this system",
               static_cast<unsigned long>(status));
    return false;
  }

  auto fail = [&](const std::string& detail, SECURITY_STATUS code) {
    SetFailure(result, TransportFailure::kTlsHandshake, detail, static_cast<unsigned long>(code));
    return false;
  };
  wchar_t* target = const_cast<wchar_t*>(host.c_str());
  bool first = true;
  inUsed = 0;
  for (;;) {
    SecBuffer inBuffers[2] = {{static_cast<unsigned long>(inUsed), SECBUFFER_TOKEN, in.data()},
                              {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBuffers};
    SecBuffer outBuffer{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &outBuffer};
    DWORD outFlags = 0;
    status = sspi->InitializeSecurityContextW(credentials.Get(), first ? nullptr : context.Get(), target,
                                        kContextFlags, 0, 0, first ? nullptr : &inDesc, 0,
                                        context.Slot(), &outDesc, &outFlags,
                                        nullptr);
    net::PackageBuffer token;
    token.Reset(outBuffer.pvBuffer);
    first = false;

    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      if (inUsed >= kHandshakeLimit) return fail("secure channel error", status);
      StreamRead r = ReceiveMore(keepGoing);
      if (r == StreamRead::kStopped) {
        SetFailure(result, TransportFailure::kStopped, std::string(), 0);
        return false;
      }
      if (r != StreamRead::kData) return fail("secure channel error", status);
      continue;
    }
    if (status == SEC_I_INCOMPLETE_CREDENTIALS)
      return fail("server asks for a client certificate", status);
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED)
      return fail("secure channel error", status);

    if (outBuffer.cbBuffer > 0 && outBuffer.pvBuffer &&
        !connection.SendAll(static_cast<const char*>(outBuffer.pvBuffer), outBuffer.cbBuffer, keepGoing))
      return fail("secure channel error", status);

    // Bytes after the handshake message belong to the next one (or, at
    // the end, to the first records of data).
    size_t extra = inBuffers[1].BufferType == SECBUFFER_EXTRA ? inBuffers[1].cbBuffer : 0;
    if (extra > inUsed) extra = 0;
    std::memmove(in.data(), in.data() + inUsed - extra, extra);
    inUsed = extra;

    if (status == SEC_E_OK) break;
    if (extra == 0) {
      StreamRead r = ReceiveMore(keepGoing);
      if (r == StreamRead::kStopped) {
        SetFailure(result, TransportFailure::kStopped, std::string(), 0);
        return false;
      }
      if (r != StreamRead::kData) return fail("secure channel error", status);
    }
  }
  status = sspi->QueryContextAttributesW(context.Get(), SECPKG_ATTR_STREAM_SIZES, &sizes);
  if (status != SEC_E_OK) return fail("secure channel error", status);
  cipherAt = 0;
  return true;
}

bool TlsStream::Session::CheckCertificate(const std::wstring& host, TransportResult& result) {
  net::UniqueCertContext cert;
  SECURITY_STATUS status =
      sspi->QueryContextAttributesW(context.Get(), SECPKG_ATTR_REMOTE_CERT_CONTEXT, cert.Put());
  if (status != SEC_E_OK || !cert) {
    SetFailure(result, TransportFailure::kTlsCertificate, "invalid certificate",
               static_cast<unsigned long>(status));
    return false;
  }
  // A chain to a trusted root, for server authentication, without a
  // revocation check (as the system's own HTTP client does by default).
  LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH),
                    const_cast<LPSTR>(szOID_SERVER_GATED_CRYPTO),
                    const_cast<LPSTR>(szOID_SGC_NETSCAPE)};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 3;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  net::UniqueCertChain chain;
  if (!CertGetCertificateChain(nullptr, cert.Get(), nullptr, cert.Get()->hCertStore, &chainPara, 0,
                               nullptr, chain.Put())) {
    SetFailure(result, TransportFailure::kTlsCertificate, "invalid certificate", GetLastError());
    return false;
  }
  HTTPSPolicyCallbackData https{};
  https.cbStruct = sizeof https;
  https.dwAuthType = AUTHTYPE_SERVER;
  https.pwszServerName = const_cast<wchar_t*>(host.c_str());
  CERT_CHAIN_POLICY_PARA policyPara{};
  policyPara.cbSize = sizeof policyPara;
  policyPara.pvExtraPolicyPara = &https;
  CERT_CHAIN_POLICY_STATUS policy{};
  policy.cbSize = sizeof policy;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Get(), &policyPara, &policy)) {
    SetFailure(result, TransportFailure::kTlsCertificate, "invalid certificate", GetLastError());
    return false;
  }
  if (policy.dwError != 0) {
    SetFailure(result, TransportFailure::kTlsCertificate, CertificateProblem(policy.dwError),
               policy.dwError);
    return false;
  }
  return true;
}

TlsStream::TlsStream() : s_(new Session) {}
TlsStream::~TlsStream() = default;

bool TlsStream::Open(const std::string& host, int port, const std::function<bool()>& keepGoing,
                     TransportResult& result) {
  std::wstring wideHost = base::ToWide(host);
  if (!s_->connection.Connect(host, port, keepGoing, result)) return false;
  if (!s_->Handshake(wideHost, keepGoing, result)) {
    Log("tls handshake failed: %s (0x%lx), host: %s", result.detail.c_str(), result.systemCode,
        host.c_str());
    return false;
  }
  if (!s_->CheckCertificate(wideHost, result)) {
    Log("tls certificate rejected: %s (0x%lx), host: %s", result.detail.c_str(),
        result.systemCode, host.c_str());
    return false;
  }
  return true;
}

bool TlsStream::Send(const std::string& data, const std::function<bool()>& keepGoing) {
  const SecPkgContext_StreamSizes& sizes = s_->sizes;
  std::vector<char> record(sizes.cbHeader + sizes.cbMaximumMessage + sizes.cbTrailer);
  size_t at = 0;
  while (at < data.size()) {
    size_t n = std::min<size_t>(data.size() - at, sizes.cbMaximumMessage);
    std::memcpy(record.data() + sizes.cbHeader, data.data() + at, n);
    SecBuffer buffers[4] = {
        {sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
        {static_cast<unsigned long>(n), SECBUFFER_DATA, record.data() + sizes.cbHeader},
        {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes.cbHeader + n},
        {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    if (s_->sspi->EncryptMessage(s_->context.Get(), 0, &desc, 0) != SEC_E_OK) return false;
    size_t total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
    if (!s_->connection.SendAll(record.data(), total, keepGoing)) return false;
    at += n;
  }
  return true;
}

StreamRead TlsStream::Receive(const std::function<bool()>& keepGoing, const char*& data,
                              size_t& size) {
  Session& c = *s_;
  data = nullptr;
  size = 0;
  // What the caller had is used up: the part of a record still to come
  // moves to the front.
  std::memmove(c.in.data(), c.in.data() + c.cipherAt, c.inUsed - c.cipherAt);
  c.inUsed -= c.cipherAt;
  c.cipherAt = 0;
  for (;;) {
    // Decrypts every whole record in the buffer; their plain bytes are
    // gathered at its front, one piece after the other.
    size_t plainEnd = 0;
    size_t at = 0;
    while (at < c.inUsed && !c.closed) {
      SecBuffer buffers[4] = {
          {static_cast<unsigned long>(c.inUsed - at), SECBUFFER_DATA, c.in.data() + at},
          {0, SECBUFFER_EMPTY, nullptr},
          {0, SECBUFFER_EMPTY, nullptr},
          {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
      SECURITY_STATUS status = c.sspi->DecryptMessage(c.context.Get(), &desc, 0, nullptr);
      if (status == SEC_E_INCOMPLETE_MESSAGE) break;
      if (status == SEC_I_CONTEXT_EXPIRED) {
        c.closed = true;  // the server's close_notify
        at = c.inUsed;
        break;
      }
      if (status != SEC_E_OK) {
        Log("tls record rejected (0x%lx)", static_cast<unsigned long>(status));
        return StreamRead::kBroken;
      }
      size_t next = c.inUsed;
      for (const SecBuffer& b : buffers) {
        if (b.BufferType == SECBUFFER_DATA && b.cbBuffer > 0) {
          std::memmove(c.in.data() + plainEnd, b.pvBuffer, b.cbBuffer);
          plainEnd += b.cbBuffer;
        } else if (b.BufferType == SECBUFFER_EXTRA && b.cbBuffer <= c.inUsed) {
          next = c.inUsed - b.cbBuffer;
        }
      }
      if (next <= at) return StreamRead::kBroken;  // no progress: a record that never ends
      at = next;
    }
    // The undecrypted rest starts at `at`; the plain bytes end before it.
    c.cipherAt = at;
    if (plainEnd > 0) {
      data = c.in.data();
      size = plainEnd;
      return StreamRead::kData;
    }
    if (c.closed) return StreamRead::kClosed;
    std::memmove(c.in.data(), c.in.data() + c.cipherAt, c.inUsed - c.cipherAt);
    c.inUsed -= c.cipherAt;
    c.cipherAt = 0;
    StreamRead r = c.ReceiveMore(keepGoing);
    if (r == StreamRead::kClosed && c.inUsed > 0) return StreamRead::kBroken;  // cut inside a record
    if (r != StreamRead::kData) return r;
  }
}
