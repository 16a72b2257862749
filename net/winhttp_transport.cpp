#include "net/winhttp_transport.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "base/handles.h"
#include "base/log.h"
#include "base/text.h"
#include "net/certificate_check.h"
#include "net/exchange.h"
#include "net/transport_errors.h"

namespace {

// A silent server is given up after this long, like cpp-httplib's read time-out.
constexpr DWORD kReceiveTimeoutMs = 5000;
constexpr DWORD kConnectTimeoutMs = 60000;
constexpr DWORD kSendTimeoutMs = 30000;
// Bytes that came within this long go to the job together.
constexpr auto kGatherFor = std::chrono::milliseconds(50);

struct InternetTraits : base::NullIsEmpty<HINTERNET> {
  static void Close(HINTERNET h) { WinHttpCloseHandle(h); }
};
using UniqueInternet = base::UniqueOwner<HINTERNET, InternetTraits>;

// The flags of a secure-failure notification land in the request's context.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info, DWORD infoLength) {
  if (status != WINHTTP_CALLBACK_STATUS_SECURE_FAILURE || !context || !info ||
      infoLength < sizeof(DWORD))
    return;
  reinterpret_cast<std::atomic<DWORD>*>(context)->store(*static_cast<DWORD*>(info));
}

// TLS 1.3 where the system knows it (older headers lack the flag).
constexpr DWORD kTls12 = 0x00000800;  // WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2
constexpr DWORD kTls13 = 0x00002000;  // WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3

// A session that goes through the proxy found for the URL, or directly:
// WinHTTP is told the proxy explicitly, since its own "default" and
// "automatic" settings do not read the user's Internet Options everywhere.
HINTERNET OpenSession(const ProxyChoice& proxy) {
  const wchar_t* agent = L"vorn-launcher";
  HINTERNET session =
      proxy.named ? WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.proxy.c_str(),
                                proxy.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : proxy.bypass.c_str(), 0)
                  : WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, 0);
  if (!session) return nullptr;
  DWORD protocols = kTls12 | kTls13;
  if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
    protocols = kTls12;
    if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols))
      Log("setting TLS 1.2 failed: error %lu", static_cast<unsigned long>(GetLastError()));
  }
  return session;
}

// The response headers the download reads; WinHTTP parses them.
constexpr const wchar_t* kWantedHeaders[] = {L"Content-Length", L"Content-Range", L"ETag",
                                             L"Last-Modified", L"Location"};

HeaderList QueryHeaders(HINTERNET request) {
  HeaderList headers;
  for (const wchar_t* name : kWantedHeaders) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_CUSTOM, name, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) continue;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CUSTOM, name, &value[0], &size,
                             WINHTTP_NO_HEADER_INDEX))
      continue;
    value.resize(size / sizeof(wchar_t));
    headers.emplace_back(base::ToNarrow(name), base::ToNarrow(value));
  }
  return headers;
}

// A proxy that asks who we are gets the user's own logon (Negotiate or
// NTLM), never a password of ours. False when it offers neither.
bool AnswerProxyChallenge(HINTERNET request) {
  DWORD supported = 0, first = 0, target = 0;
  if (!WinHttpQueryAuthSchemes(request, &supported, &first, &target)) return false;
  DWORD scheme = (supported & WINHTTP_AUTH_SCHEME_NEGOTIATE) ? WINHTTP_AUTH_SCHEME_NEGOTIATE
                 : (supported & WINHTTP_AUTH_SCHEME_NTLM)    ? WINHTTP_AUTH_SCHEME_NTLM
                                                             : 0;
  if (scheme == 0) return false;
  DWORD policy = WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW;
  WinHttpSetOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, &policy, sizeof policy);
  return WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, scheme, nullptr, nullptr,
                               nullptr) != FALSE;
}

// A failure that may mean only that revocation could not be checked. wine
// reports every fault of a certificate as a channel error, without flags.
bool MayBeRevocationUnknown(DWORD error, DWORD secureFlags) {
  return error == ERROR_WINHTTP_SECURE_CERT_REV_FAILED ||
         error == ERROR_WINHTTP_SECURE_CHANNEL_ERROR ||
         (error == ERROR_WINHTTP_SECURE_FAILURE &&
          secureFlags == WINHTTP_CALLBACK_STATUS_FLAG_CERT_REV_FAILED);
}

// Servers whose certificates' revocation could not be checked in this
// process: later requests go without asking at once, instead of paying a
// failed handshake each.
std::mutex g_revocationLock;
std::set<std::wstring> g_revocationUnknown;

bool RevocationKnownUnknown(const std::wstring& server) {
  std::lock_guard<std::mutex> hold(g_revocationLock);
  return g_revocationUnknown.count(server) != 0;
}

void RememberRevocationUnknown(const std::wstring& server) {
  std::lock_guard<std::mutex> hold(g_revocationLock);
  g_revocationUnknown.insert(server);
}

struct CertTraits : base::NullIsEmpty<PCCERT_CONTEXT> {
  static void Close(PCCERT_CONTEXT c) { CertFreeCertificateContext(c); }
};
using UniqueCert = base::UniqueOwner<PCCERT_CONTEXT, CertTraits>;

UniqueCert ServerCertificate(HINTERNET request) {
  PCCERT_CONTEXT cert = nullptr;
  DWORD size = sizeof cert;
  if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &cert, &size)) return UniqueCert();
  return UniqueCert(cert);
}

HINTERNET OpenRequest(HINTERNET connection, const std::wstring& path, bool secure,
                      bool checkRevocation, std::atomic<DWORD>* secureFlags) {
  HINTERNET request = WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr,
                                         WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                         secure ? WINHTTP_FLAG_SECURE : 0);
  if (!request) return nullptr;
  // Redirects come back to the download, which refuses https to http; wine
  // would refuse that one by itself, Windows would not.
  DWORD disable = WINHTTP_DISABLE_REDIRECTS;
  WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof disable);
  DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
  DWORD responseTimeout = kReceiveTimeoutMs;
  WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                   sizeof responseTimeout);
  if (secure && checkRevocation) {
    DWORD revocation = WINHTTP_ENABLE_SSL_REVOCATION;
    if (!WinHttpSetOption(request, WINHTTP_OPTION_ENABLE_FEATURE, &revocation, sizeof revocation))
      Log("revocation checking not available: error %lu", static_cast<unsigned long>(GetLastError()));
  }
  DWORD_PTR context = reinterpret_cast<DWORD_PTR>(secureFlags);
  WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context);
  return request;
}

// The request's data as it arrives, in blocks of up to kBlockSize. Asking
// what has arrived first makes the read return with it: a read for a whole
// block may wait to fill it, and a time-out then loses what had come. TLS
// hands the body over one record (16 KiB) a call under wine; the records that
// come within a short while go to the job as one block, which saves a
// hand-over and a file write per record. Returns the WinHTTP error, 0 at
// the end of the body or when the job walked away.
DWORD ReadBody(HINTERNET request, Exchange& ex) {
  constexpr size_t kBlockSize = Exchange::kQueuedBlockSize;
  std::unique_ptr<char[]> block(new char[kBlockSize]);
  for (;;) {
    size_t used = 0;
    bool ended = false;
    DWORD error = 0;
    auto gatherUntil = std::chrono::steady_clock::now() + kGatherFor;
    while (used < kBlockSize) {
      DWORD available = 0;
      if (!WinHttpQueryDataAvailable(request, &available)) {
        error = GetLastError();
        break;
      }
      if (available == 0) {
        ended = true;  // the whole body
        break;
      }
      DWORD got = 0;
      DWORD want = static_cast<DWORD>(std::min<size_t>(available, kBlockSize - used));
      if (!WinHttpReadData(request, block.get() + used, want, &got)) {
        error = GetLastError();
        break;
      }
      used += got;
      if (got == 0) {
        ended = true;
        break;
      }
      if (std::chrono::steady_clock::now() >= gatherUntil) break;
    }
    // The job writes this block while the next one is read.
    if (used > 0 && !(block = ex.QueueBody(std::move(block), used))) return 0;
    if (error != 0 || ended) return error;
  }
}

struct Target {
  std::wstring host;
  int port = 0;
  std::wstring path;
  std::wstring headers;
  bool secure = false;
};

// A WinHTTP handle shared by the exchanges that use it: a connection's
// session stays open as long as the connection.
struct SharedInternet {
  std::shared_ptr<UniqueInternet> session;
  std::shared_ptr<UniqueInternet> connection;
};

}  // namespace

// The session and the connection of the last server asked. WinHTTP keeps the
// session's connections alive between requests; an exchange the job walked
// away from may still be using them, so each exchange holds its own reference.
struct WinHttpTransport::Handles {
  std::mutex lock;
  std::shared_ptr<UniqueInternet> session;
  std::shared_ptr<UniqueInternet> connection;
  std::wstring host;
  int port = 0;

  // False, with GetLastError set, when a handle cannot be opened.
  bool For(const std::wstring& toHost, int toPort, const ProxyChoice& proxy, SharedInternet* out) {
    std::lock_guard<std::mutex> hold(lock);
    if (!session) {
      auto opened = std::make_shared<UniqueInternet>(OpenSession(proxy));
      if (!*opened) return false;
      WinHttpSetTimeouts(opened->Get(), 0, kConnectTimeoutMs, kSendTimeoutMs, kReceiveTimeoutMs);
      WinHttpSetStatusCallback(opened->Get(), OnStatus, WINHTTP_CALLBACK_FLAG_SECURE_FAILURE, 0);
      session = opened;
    }
    if (!connection || host != toHost || port != toPort) {
      auto opened = std::make_shared<UniqueInternet>(
          WinHttpConnect(session->Get(), toHost.c_str(), static_cast<INTERNET_PORT>(toPort), 0));
      if (!*opened) return false;
      connection = opened;
      host = toHost;
      port = toPort;
    }
    out->session = session;
    out->connection = connection;
    return true;
  }
};

namespace {

// The blocking half: runs on a thread of its own.
void Produce(const std::shared_ptr<Exchange>& ex, const Target& to, const ProxyChoice& proxy,
             const std::shared_ptr<WinHttpTransport::Handles>& handles) {
  std::atomic<DWORD> secureFlags{0};  // outlives the request below
  auto end = [&](DWORD error) {
    std::string detail;
    TransportFailure failure = error == 0 ? TransportFailure::kNone
                                          : ClassifyWinHttpError(error, secureFlags.load(),
                                                                 ex->Sent(), detail);
    ex->End(failure, detail, error);
  };
  SharedInternet shared;  // declared before the request: closed after it
  if (!handles->For(to.host, to.port, proxy, &shared)) return end(GetLastError());
  HINTERNET connectionHandle = shared.connection->Get();

  // Revocation is checked; a revocation server that cannot be reached does
  // not fail the download (the certificate is otherwise good), a revoked
  // certificate does. A proxy's challenge is answered once.
  const std::wstring server = to.host + L":" + std::to_wstring(to.port);
  UniqueInternet request;
  bool checkRevocation = to.secure && !RevocationKnownUnknown(server);
  bool challenged = false;
  for (;;) {
    DWORD error = 0;
    secureFlags.store(0);
    if (!request) {
      request.Reset(OpenRequest(connectionHandle, to.path, to.secure, checkRevocation, &secureFlags));
      if (!request) return end(GetLastError());
    }
    if (ex->Abandoned()) return end(ERROR_WINHTTP_OPERATION_CANCELLED);
    if (!WinHttpSendRequest(request.Get(),
                            to.headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : to.headers.c_str(),
                            static_cast<DWORD>(to.headers.size()), WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
      error = GetLastError();
    } else {
      ex->MarkSent();
      if (!WinHttpReceiveResponse(request.Get(), nullptr)) error = GetLastError();
    }
    if (error != 0 && checkRevocation && MayBeRevocationUnknown(error, secureFlags.load())) {
      Log("certificate of %s refused with revocation checked (%lu), asking again without",
          base::Utf8(server).c_str(), static_cast<unsigned long>(error));
      RememberRevocationUnknown(server);
      checkRevocation = false;
      request.Reset();
      continue;
    }
    if (error != 0) return end(error);
    if (to.secure && !checkRevocation && KnownRevoked(ServerCertificate(request.Get()).Get())) {
      secureFlags.store(WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED);
      return end(ERROR_WINHTTP_SECURE_FAILURE);
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    if (status == HTTP_STATUS_PROXY_AUTH_REQ && !challenged && AnswerProxyChallenge(request.Get())) {
      challenged = true;
      continue;
    }
    if (!ex->DeliverHead(static_cast<int>(status), QueryHeaders(request.Get())))
      return end(0);  // a redirect, or a response the job does not want
    break;
  }
  end(ReadBody(request.Get(), *ex));
}

std::wstring RequestHeaders(const HeaderList& headers) {
  std::string text;
  for (const auto& h : headers) text += h.first + ": " + h.second + "\r\n";
  return base::ToWide(text);
}

}  // namespace

WinHttpTransport::WinHttpTransport(ProxyChoice proxy)
    : proxy_(std::move(proxy)), handles_(std::make_shared<Handles>()) {}

WinHttpTransport::~WinHttpTransport() = default;

TransportResult WinHttpTransport::Get(const HttpUrl& url, const HeaderList& headers,
                                      const TransportCallbacks& callbacks) {
  TransportResult refused;
  if (!SafeToSend(url, headers, refused)) return refused;
  Target to{base::ToWide(url.host), url.port, base::ToWide(url.path), RequestHeaders(headers),
            url.secure};
  ProxyChoice proxy = proxy_;
  std::shared_ptr<Handles> handles = handles_;
  return RunExchange([to, proxy, handles](std::shared_ptr<Exchange> ex) { Produce(ex, to, proxy, handles); },
                     callbacks, url.host);
}
