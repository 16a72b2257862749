// A minimal cpp-httplib client: one GET streamed into a file with WriteFile.
// The yardstick for the launcher's download task, built by the same compiler
// with the same receive buffer and run under the same wine.
//   httplib_client.exe HOST PORT PATH TARGET_FILE
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "httplib.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: httplib_client HOST PORT PATH TARGET_FILE\n");
    return 2;
  }
  // Made new rather than overwritten, as the launcher's download makes its
  // file: under wine "CREATE_ALWAYS" cuts the file to zero, and on ext4 the
  // close of a file cut to zero writes it all back to the disk at once.
  DeleteFileA(argv[4]);
  HANDLE file = CreateFileA(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot create %s\n", argv[4]);
    return 1;
  }
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  httplib::Client client(argv[1], std::atoi(argv[2]));
  long long bytes = 0;
  auto res = client.Get(argv[3], [&](const char* data, size_t length) {
    DWORD written = 0;
    if (!WriteFile(file, data, static_cast<DWORD>(length), &written, nullptr) || written != length) return false;
    bytes += static_cast<long long>(length);
    return true;
  });
  CloseHandle(file);
  QueryPerformanceCounter(&end);
  bool ok = res && res->status == 200;
  std::printf("job=httplib ok=%d seconds=%.3f bytes=%lld\n", ok ? 1 : 0,
              static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart, bytes);
  return ok ? 0 : 1;
}
