// A minimal WinHTTP client: one GET streamed into a file with WriteFile, the
// system's certificate check as it is. The yardstick for the launcher's
// https download, run under the same wine.
//   winhttp_client.exe HOST PORT PATH TARGET_FILE
#include <windows.h>
#include <winhttp.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: winhttp_client HOST PORT PATH TARGET_FILE\n");
    return 2;
  }
  DeleteFileW(argv[4]);
  HANDLE file = CreateFileW(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot create the target file\n");
    return 1;
  }
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  HINTERNET session = WinHttpOpen(L"bench", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0);
  HINTERNET connection = WinHttpConnect(session, argv[1], static_cast<INTERNET_PORT>(_wtoi(argv[2])), 0);
  HINTERNET request = WinHttpOpenRequest(connection, L"GET", argv[3], nullptr, WINHTTP_NO_REFERER,
                                         WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
  bool ok = request && WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                          WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
            WinHttpReceiveResponse(request, nullptr);
  DWORD status = 0, size = sizeof status;
  if (ok)
    WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
  long long bytes = 0;
  std::vector<char> buffer(256 * 1024);
  while (ok) {
    DWORD got = 0;
    if (!WinHttpReadData(request, buffer.data(), static_cast<DWORD>(buffer.size()), &got)) ok = false;
    if (!ok || got == 0) break;
    DWORD written = 0;
    ok = WriteFile(file, buffer.data(), got, &written, nullptr) && written == got;
    bytes += got;
  }
  WinHttpCloseHandle(request);
  WinHttpCloseHandle(connection);
  WinHttpCloseHandle(session);
  CloseHandle(file);
  QueryPerformanceCounter(&end);
  ok = ok && status == 200;
  std::printf("job=winhttp ok=%d seconds=%.3f bytes=%lld\n", ok ? 1 : 0,
              static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart, bytes);
  return ok ? 0 : 1;
}
