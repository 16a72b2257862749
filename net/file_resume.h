#pragma once
// The disk side of resuming a file download across runs: the record beside
// the target, and the bytes already on disk. Used by the request job; the
// HTTP transport underneath only carries the headers it hands out.
#include <cstdint>
#include <string>

#include "net/resume_record.h"

class FileResume {
 public:
  FileResume(const std::wstring& target, const std::string& url) : target_(target), url_(url) {}

  // Reads the record and the target's size; returns the offset to ask from
  // (0: fetch the whole body). A record for another resource is removed.
  int64_t Plan();
  // Validator and length of the resource on disk, as the record says.
  const std::string& Validator() const { return record_.validator; }
  int64_t KnownLength() const { return record_.length; }

  // The server sent (another) body of this URL: remember its validator and
  // length before any of its bytes are written. An empty validator removes
  // the record, since such a body cannot be resumed safely.
  void Remember(const std::string& validator, int64_t length);
  // Removes the record (the download is complete and used, or starts over).
  void Forget();

 private:
  std::wstring target_;
  std::string url_;
  ResumeRecord record_;
};

// Ends the resumable life of a file downloaded with
// DownloadTask::resumableAfterSuccess, once its user is done with it or has
// found it bad: its record goes, so a later request fetches it whole.
void ForgetDownloadProgress(const std::wstring& target);
