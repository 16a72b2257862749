#include "unpack/entry_writer.h"

#include <windows.h>

#include <zlib.h>

#include "base/error_text.h"
#include "base/log.h"
#include "base/strings.h"
#include "base/text.h"
#include "unpack/file_replace.h"
#include "unpack/folder_maker.h"
#include "unpack/unpack_path.h"

namespace {

constexpr size_t kOutBlock = 256 * 1024;

}  // namespace

struct EntryWriter::Inflater {
  z_stream stream{};
  bool ready = false;
  ~Inflater() {
    if (ready) inflateEnd(&stream);
  }
};

EntryWriter::EntryWriter() = default;

EntryWriter::~EntryWriter() { Abandon(); }

void EntryWriter::Abandon() {
  if (!open_) return;
  open_ = false;
  file_.Reset();
  inflater_.reset();
  RemovePartFile(partApi_);
}

bool EntryWriter::Fail(EntryWriteOutcome outcome, const std::string& why, std::string* error) {
  Abandon();
  outcome_ = outcome;
  if (outcome == EntryWriteOutcome::kDataFault) {
    // One text for every way the bytes can differ from the manifest; the
    // log keeps which it was.
    Log("entry %s: %s", entry_.name.c_str(), why.c_str());
    *error = "entry " + entry_.name + " checksum mismatch";
  } else {
    *error = Log("entry %s: %s", entry_.name.c_str(), why.c_str());
  }
  return false;
}

bool EntryWriter::Begin(const ManifestEntry& entry, const std::wstring& fullPath, FolderMaker* folders,
                        std::string* error) {
  Abandon();
  entry_ = entry;
  outcome_ = EntryWriteOutcome::kWritten;
  taken_ = 0;
  written_ = 0;
  crc_ = crc32(0L, Z_NULL, 0);
  streamEnded_ = false;
  targetApi_ = ForFileApi(fullPath);
  partApi_ = ForFileApi(fullPath + kPartSuffix);
  if (entry.method != 0 && entry.method != 8) {
    return Fail(EntryWriteOutcome::kDataFault, "compression method " + std::to_string(entry.method), error);
  }
  if (folders) folders->Make(base::DirectoryPart(fullPath));
  std::string shaError;
  if (!sha_.Begin(&shaError)) return Fail(EntryWriteOutcome::kLocalFault, shaError, error);
  if (entry.method == 8) {
    inflater_.reset(new Inflater);
    // Raw deflate: a zip entry's data carry no zlib header.
    if (inflateInit2(&inflater_->stream, -MAX_WBITS) != Z_OK) {
      return Fail(EntryWriteOutcome::kLocalFault, "zlib cannot start", error);
    }
    inflater_->ready = true;
  }
  SetFileAttributesW(partApi_.c_str(), FILE_ATTRIBUTE_NORMAL);  // a leftover of a broken run
  file_.Reset(CreateFileW(partApi_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                          nullptr));
  if (!file_) {
    DWORD code = GetLastError();
    inflater_.reset();
    outcome_ = EntryWriteOutcome::kLocalFault;
    *error = Log("entry %s: the file cannot be created: %s", entry_.name.c_str(), base::ErrorText(code).c_str());
    return false;
  }
  open_ = true;
  out_.resize(kOutBlock);
  return true;
}

bool EntryWriter::Write(const unsigned char* data, size_t size, std::string* error) {
  if (size == 0) return true;
  if (size > entry_.size - written_) {
    return Fail(EntryWriteOutcome::kDataFault, "more than " + std::to_string(entry_.size) + " bytes", error);
  }
  crc_ = crc32_z(crc_, data, size);
  sha_.Add(data, size);
  DWORD done = 0;
  if (!WriteFile(file_.Get(), data, static_cast<DWORD>(size), &done, nullptr) || done != size) {
    return Fail(EntryWriteOutcome::kLocalFault, "writing failed: " + base::ErrorText(GetLastError()), error);
  }
  written_ += size;
  return true;
}

bool EntryWriter::Add(const char* data, size_t size, std::string* error) {
  if (!open_) {
    *error = "entry " + entry_.name + " is not open";
    return false;
  }
  if (size > entry_.compressedSize - taken_) {
    return Fail(EntryWriteOutcome::kDataFault,
                "more than " + std::to_string(entry_.compressedSize) + " compressed bytes", error);
  }
  taken_ += size;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
  if (!inflater_) {
    // Stored: handed on in pieces WriteFile takes at once.
    while (size > 0) {
      size_t piece = size < kOutBlock ? size : kOutBlock;
      if (!Write(bytes, piece, error)) return false;
      bytes += piece;
      size -= piece;
    }
    return true;
  }
  z_stream& z = inflater_->stream;
  while (size > 0) {
    if (streamEnded_) return Fail(EntryWriteOutcome::kDataFault, "bytes after the end of the stream", error);
    uInt piece = size < 0x40000000u ? static_cast<uInt>(size) : 0x40000000u;
    z.next_in = const_cast<Bytef*>(bytes);
    z.avail_in = piece;
    // Until this piece is taken and no output is pending (a full block out
    // may mean more is waiting), or the stream ends.
    do {
      z.next_out = out_.data();
      z.avail_out = static_cast<uInt>(out_.size());
      int rc = inflate(&z, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        streamEnded_ = true;
      } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
        return Fail(EntryWriteOutcome::kDataFault, "the data cannot be decoded: zlib error " + std::to_string(rc),
                    error);
      }
      if (!Write(out_.data(), out_.size() - z.avail_out, error)) return false;
      if (rc == Z_BUF_ERROR) break;  // no progress possible without more input
    } while (!streamEnded_ && (z.avail_in > 0 || z.avail_out == 0));
    if (streamEnded_ && z.avail_in > 0) {
      return Fail(EntryWriteOutcome::kDataFault, "bytes after the end of the stream", error);
    }
    bytes += piece;
    size -= piece;
  }
  return true;
}

bool EntryWriter::Finish(std::string* error) {
  if (!open_) {
    *error = "entry " + entry_.name + " is not open";
    return false;
  }
  if (taken_ != entry_.compressedSize) {
    return Fail(EntryWriteOutcome::kDataFault,
                std::to_string(taken_) + " of " + std::to_string(entry_.compressedSize) + " compressed bytes", error);
  }
  if (inflater_ && !streamEnded_) {
    return Fail(EntryWriteOutcome::kDataFault, "the stream ends early", error);
  }
  if (written_ != entry_.size) {
    return Fail(EntryWriteOutcome::kDataFault,
                std::to_string(written_) + " of " + std::to_string(entry_.size) + " bytes", error);
  }
  if (static_cast<uint32_t>(crc_) != entry_.crc32) return Fail(EntryWriteOutcome::kDataFault, "CRC mismatch", error);
  Sha256Digest digest{};
  if (!sha_.Finish(&digest)) return Fail(EntryWriteOutcome::kLocalFault, "hashing failed", error);
  if (digest != entry_.sha256) return Fail(EntryWriteOutcome::kDataFault, "SHA-256 mismatch", error);
  if (!FlushFileBuffers(file_.Get())) {
    return Fail(EntryWriteOutcome::kLocalFault, "writing failed: " + base::ErrorText(GetLastError()), error);
  }
  file_.Reset();
  inflater_.reset();
  open_ = false;
  std::string why;
  if (!ReplaceWithPart(partApi_, targetApi_, &why)) {
    outcome_ = EntryWriteOutcome::kLocalFault;
    *error = Log("entry %s: %s", entry_.name.c_str(), why.c_str());
    return false;
  }
  return true;
}
