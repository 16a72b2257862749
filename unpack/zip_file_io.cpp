#include "unpack/zip_file_io.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "base/handles.h"
#include "unpack/read_window_cache.h"

namespace {

struct CachedZipFile {
  base::UniqueFile file;
  uint64_t size = 0;
  uint64_t position = 0;
  bool failed = false;
  ReadWindowCache cache;

  explicit CachedZipFile(HANDLE handle)
      : file(handle), cache([this](uint64_t offset, void* buffer, size_t count) { return ReadAt(offset, buffer, count); }) {}

  // Positional reads: no separate seek call, and the handle's own position
  // never matters.
  int64_t ReadAt(uint64_t offset, void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
      OVERLAPPED at{};
      uint64_t where = offset + done;
      at.Offset = static_cast<DWORD>(where);
      at.OffsetHigh = static_cast<DWORD>(where >> 32);
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
      DWORD got = 0;
      if (!ReadFile(file.Get(), static_cast<char*>(buffer) + done, chunk, &got, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF) break;
        return done > 0 ? static_cast<int64_t>(done) : -1;
      }
      if (got == 0) break;
      done += got;
    }
    return static_cast<int64_t>(done);
  }
};

CachedZipFile* AsFile(voidpf stream) { return static_cast<CachedZipFile*>(stream); }

voidpf OpenReader(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  auto zip = std::make_unique<CachedZipFile>(handle);
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle, &size)) return nullptr;  // the owner closes the handle
  zip->size = static_cast<uint64_t>(size.QuadPart);
  return zip.release();
}

voidpf ZCALLBACK OpenFile(voidpf, const void* filename, int mode) {
  if (!filename || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  return OpenReader(CreateFileW(static_cast<const wchar_t*>(filename), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

voidpf ZCALLBACK OpenHeldFile(voidpf, const void* held, int mode) {
  if (!held || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  // Not by path: whatever now has the archive's name, this is the file that was held.
  return OpenReader(ReOpenFile(const_cast<void*>(held), GENERIC_READ, FILE_SHARE_READ, 0));
}

uLong ZCALLBACK ReadFileFunc(voidpf, voidpf stream, void* buffer, uLong size) {
  CachedZipFile* zip = AsFile(stream);
  int64_t got = zip->cache.Read(zip->position, buffer, size);
  if (got < 0) {
    zip->failed = true;
    return 0;
  }
  zip->position += static_cast<uint64_t>(got);
  return static_cast<uLong>(got);
}

uLong ZCALLBACK WriteFileFunc(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellFile(voidpf, voidpf stream) { return AsFile(stream)->position; }

long ZCALLBACK SeekFile(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  CachedZipFile* zip = AsFile(stream);
  uint64_t base = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = zip->position; break;
    case ZLIB_FILEFUNC_SEEK_END: base = zip->size; break;
    default: return -1;
  }
  zip->position = base + offset;
  return 0;
}

int ZCALLBACK CloseFile(voidpf, voidpf stream) {
  delete AsFile(stream);
  return 0;
}

int ZCALLBACK TestError(voidpf, voidpf stream) { return AsFile(stream)->failed ? 1 : 0; }

}  // namespace

void FillCachedHeldFileFunc(zlib_filefunc64_def* io) {
  FillCachedWin32FileFunc(io);
  io->zopen64_file = OpenHeldFile;
}

void FillCachedWin32FileFunc(zlib_filefunc64_def* io) {
  io->zopen64_file = OpenFile;
  io->zread_file = ReadFileFunc;
  io->zwrite_file = WriteFileFunc;
  io->ztell64_file = TellFile;
  io->zseek64_file = SeekFile;
  io->zclose_file = CloseFile;
  io->zerror_file = TestError;
  io->opaque = nullptr;
}
