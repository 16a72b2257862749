#include "net/winhttp_transport.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/handles.h"
#include "base/log.h"
#include "base/text.h"
#include "net/http_request_text.h"
#include "net/http_response_reader.h"
#include "net/transport_errors.h"

namespace {

// A silent server is given up after this long, like cpp-httplib's read time-out.
constexpr DWORD kReceiveTimeoutMs = 5000;
constexpr DWORD kConnectTimeoutMs = 60000;
constexpr DWORD kSendTimeoutMs = 30000;
constexpr size_t kBlockSize = 256 * 1024;
constexpr size_t kMaxQueuedBlocks = 4;
constexpr auto kStopCheckInterval = std::chrono::milliseconds(50);
// Bytes that came within this long go to the job together.
constexpr auto kGatherFor = std::chrono::milliseconds(50);

struct InternetTraits {
  static HINTERNET Empty() { return nullptr; }
  static void Close(HINTERNET h) { WinHttpCloseHandle(h); }
};
using UniqueInternet = base::UniqueOwner<HINTERNET, InternetTraits>;

// One exchange, shared by the job thread and the thread that makes the
// blocking WinHTTP calls. The job thread can walk away at any time (a stop)
// and returns at once; the exchange thread ends on its own once its current
// call returns (after the receive time-out at the latest), and the last
// owner frees this record. The job thread never closes a handle the exchange
// thread may still use: WinHTTP reuses handle values, and a call made with a
// closed one could act on another request.
struct Exchange {
  std::mutex lock;
  std::condition_variable changed;

  // Written by the exchange thread.
  bool sent = false;          // the request went out: a later time-out is a silent server
  bool headersReady = false;
  int status = 0;
  std::string rawHeaders;
  std::deque<std::vector<char>> blocks;
  bool ended = false;         // nothing more will come
  DWORD error = 0;            // the WinHTTP error that ended it; 0 after the whole body
  std::atomic<DWORD> secureFlags{0};  // from the secure-failure notification

  // Written by the job thread.
  bool abandoned = false;
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info, DWORD infoLength) {
  if (status != WINHTTP_CALLBACK_STATUS_SECURE_FAILURE || !context || !info ||
      infoLength < sizeof(DWORD))
    return;
  reinterpret_cast<Exchange*>(context)->secureFlags.store(*static_cast<DWORD*>(info));
}

// The system's proxy settings: the automatic proxy where the system has one
// (Windows 8.1 and later), else the configured default.
HINTERNET OpenSession() {
  const wchar_t* agent = L"vorn-launcher";
  HINTERNET session = WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                  WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (!session)
    session = WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                          WINHTTP_NO_PROXY_BYPASS, 0);
  return session;
}

bool Abandoned(Exchange& ex) {
  std::lock_guard<std::mutex> hold(ex.lock);
  return ex.abandoned;
}

void End(Exchange& ex, DWORD error) {
  {
    std::lock_guard<std::mutex> hold(ex.lock);
    ex.ended = true;
    ex.error = error;
  }
  ex.changed.notify_all();
}

std::string QueryRawHeaders(HINTERNET request) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return std::string();
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                           &text[0], &size, WINHTTP_NO_HEADER_INDEX))
    return std::string();
  text.resize(size / sizeof(wchar_t));
  return base::ToNarrow(text);
}

// The blocking half: runs on a thread of its own.
void RunExchange(std::shared_ptr<Exchange> ex, std::wstring host, int port, std::wstring path,
                 std::wstring headers) {
  UniqueInternet session(OpenSession());
  if (!session) return End(*ex, GetLastError());
  WinHttpSetTimeouts(session.Get(), 0, kConnectTimeoutMs, kSendTimeoutMs, kReceiveTimeoutMs);
  WinHttpSetStatusCallback(session.Get(), OnStatus, WINHTTP_CALLBACK_FLAG_SECURE_FAILURE, 0);

  UniqueInternet connection(WinHttpConnect(session.Get(), host.c_str(),
                                           static_cast<INTERNET_PORT>(port), 0));
  if (!connection) return End(*ex, GetLastError());
  UniqueInternet requestHandle(WinHttpOpenRequest(connection.Get(), L"GET", path.c_str(), nullptr,
                                                 WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                 WINHTTP_FLAG_SECURE));
  if (!requestHandle) return End(*ex, GetLastError());
  HINTERNET request = requestHandle.Get();

  // Redirects come back to the download, which refuses https to http; wine
  // would refuse that one by itself, Windows would not.
  DWORD disable = WINHTTP_DISABLE_REDIRECTS;
  WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof disable);
  DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
  DWORD responseTimeout = kReceiveTimeoutMs;
  WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                   sizeof responseTimeout);
  DWORD_PTR context = reinterpret_cast<DWORD_PTR>(ex.get());
  WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context);

  DWORD error = 0;
  if (Abandoned(*ex)) return End(*ex, ERROR_WINHTTP_OPERATION_CANCELLED);
  if (!WinHttpSendRequest(request, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                          static_cast<DWORD>(headers.size()), WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
    error = GetLastError();
  } else {
    {
      std::lock_guard<std::mutex> hold(ex->lock);
      ex->sent = true;
    }
    if (!WinHttpReceiveResponse(request, nullptr)) error = GetLastError();
  }
  if (error == 0) {
    DWORD status = 0;
    DWORD size = sizeof status;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    std::string raw = QueryRawHeaders(request);
    {
      std::lock_guard<std::mutex> hold(ex->lock);
      ex->status = static_cast<int>(status);
      ex->rawHeaders = std::move(raw);
      ex->headersReady = true;
    }
    ex->changed.notify_all();

    for (;;) {
      {
        std::unique_lock<std::mutex> hold(ex->lock);
        ex->changed.wait(hold, [&] { return ex->abandoned || ex->blocks.size() < kMaxQueuedBlocks; });
        if (ex->abandoned) break;
      }
      // Asking what has arrived first makes the read return with it: a read
      // for a whole block may wait to fill it, and a time-out then loses
      // what had come. TLS hands the body over one record (16 KiB) at a
      // time; the records that come within a short while go to the job as
      // one block, which saves a hand-over and a file write per record.
      std::vector<char> block;
      block.reserve(kBlockSize);
      bool ended = false;
      auto gatherUntil = std::chrono::steady_clock::now() + kGatherFor;
      while (block.size() < kBlockSize) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available)) {
          error = GetLastError();
          break;
        }
        if (available == 0) {
          ended = true;  // the whole body
          break;
        }
        size_t at = block.size();
        block.resize(at + std::min<size_t>(available, kBlockSize - at));
        DWORD got = 0;
        if (!WinHttpReadData(request, block.data() + at, static_cast<DWORD>(block.size() - at), &got)) {
          error = GetLastError();
          block.resize(at);
          break;
        }
        block.resize(at + got);
        if (got == 0) {
          ended = true;
          break;
        }
        if (std::chrono::steady_clock::now() >= gatherUntil) break;
      }
      if (!block.empty()) {
        {
          std::lock_guard<std::mutex> hold(ex->lock);
          ex->blocks.push_back(std::move(block));
        }
        ex->changed.notify_all();
      }
      if (error != 0 || ended) break;
    }
  }
  End(*ex, error);
}

std::wstring RequestHeaders(const HeaderList& headers) {
  std::string text;
  for (const auto& h : headers) text += h.first + ": " + h.second + "\r\n";
  return base::ToWide(text);
}

}  // namespace

TransportResult WinHttpTransport::Get(const HttpUrl& url, const HeaderList& headers,
                                      const TransportCallbacks& callbacks) {
  TransportResult result;
  if (!HeadersAreSafe(headers)) {
    Log("request refused: a header would break the request, host: %s", url.host.c_str());
    result.failure = TransportFailure::kConnection;
    return result;
  }
  auto ex = std::make_shared<Exchange>();
  try {
    std::thread(RunExchange, ex, base::ToWide(url.host), url.port, base::ToWide(url.path),
                RequestHeaders(headers))
        .detach();
  } catch (const std::exception& e) {
    Log("start exchange thread failed: %s, host: %s", e.what(), url.host.c_str());
    result.failure = TransportFailure::kConnection;
    return result;
  }

  // Leaves the exchange to end on its own; nothing of it is read afterwards.
  auto walkAway = [&](TransportFailure failure) {
    {
      std::lock_guard<std::mutex> hold(ex->lock);
      ex->abandoned = true;
    }
    ex->changed.notify_all();
    result.failure = failure;
    return result;
  };
  // Waits until `ready` holds; false when the stop check fired meanwhile.
  auto waitFor = [&](std::unique_lock<std::mutex>& hold, auto ready) {
    while (!ready()) {
      ex->changed.wait_for(hold, kStopCheckInterval);
      if (!ready() && !callbacks.keepGoing()) return false;
    }
    return true;
  };
  auto failureFrom = [&](DWORD error, bool sent) {
    result.systemCode = error;
    result.failure = ClassifyWinHttpError(error, ex->secureFlags.load(), sent, result.detail);
    return result;
  };

  TransportResponse response;
  {
    std::unique_lock<std::mutex> hold(ex->lock);
    if (!waitFor(hold, [&] { return ex->headersReady || ex->ended; })) {
      hold.unlock();
      return walkAway(TransportFailure::kStopped);
    }
    if (!ex->headersReady) return failureFrom(ex->error, ex->sent);
    response.status = ex->status;
    response.headers = ParseRawHeaders(ex->rawHeaders);
  }
  result.status = response.status;
  if (IsRedirectStatus(response.status) && !response.Header("Location").empty()) {
    result.location = response.Header("Location");
    return walkAway(TransportFailure::kNone);
  }
  if (!callbacks.onResponse(response)) return walkAway(TransportFailure::kStopped);

  uint64_t length = 0;
  bool lengthKnown = ParseContentLength(response.Header("Content-Length"), length);
  uint64_t current = 0;
  for (;;) {
    std::vector<char> block;
    {
      std::unique_lock<std::mutex> hold(ex->lock);
      if (!waitFor(hold, [&] { return !ex->blocks.empty() || ex->ended; })) {
        hold.unlock();
        return walkAway(TransportFailure::kStopped);
      }
      if (ex->blocks.empty()) {
        if (ex->error != 0) return failureFrom(ex->error, true);
        break;
      }
      block = std::move(ex->blocks.front());
      ex->blocks.pop_front();
    }
    ex->changed.notify_all();
    if (!callbacks.onData(block.data(), block.size())) return walkAway(TransportFailure::kStopped);
    current += block.size();
    if (lengthKnown && !callbacks.onProgress(current, length))
      return walkAway(TransportFailure::kStopped);
  }
  // The connection closed before the announced length: a broken transfer.
  if (lengthKnown && current < length) result.failure = TransportFailure::kBroken;
  return result;
}

bool SystemProxyConfigured() {
  bool proxied = false;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
  if (WinHttpGetIEProxyConfigForCurrentUser(&user)) {
    proxied = (user.lpszProxy && *user.lpszProxy) || (user.lpszAutoConfigUrl && *user.lpszAutoConfigUrl);
    for (wchar_t* text : {user.lpszAutoConfigUrl, user.lpszProxy, user.lpszProxyBypass})
      if (text) GlobalFree(text);
  }
  WINHTTP_PROXY_INFO machine{};
  if (WinHttpGetDefaultProxyConfiguration(&machine)) {
    proxied = proxied || machine.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    for (wchar_t* text : {machine.lpszProxy, machine.lpszProxyBypass})
      if (text) GlobalFree(text);
  }
  return proxied;
}
