#pragma once
// The server's two logs: one line per request, one line per statistics report.
#include <mutex>
#include <string>

// A text file that whole lines are appended to, from any thread. Each line is
// written and flushed at once so a test can read it the moment the reply is out.
class LineLog {
 public:
  explicit LineLog(std::string path) : path_(std::move(path)) {}
  bool Append(const std::string& line);
  std::string ReadAll() const;
  void Clear();
  const std::string& Path() const { return path_; }

 private:
  mutable std::mutex mutex_;
  std::string path_;
};

// A report's "KZ={G:1;S:...;T:3;Tokenstart;...;}" as tab-separated
// key=value fields: "G=1<TAB>S=...<TAB>T=3<TAB>EVENT=Tokenstart<TAB>...";
// the item without a colon is the event name. Ends with RAW=<the data as
// received>; text that is not a record gives "MALFORMED=1<TAB>RAW=...".
std::string DecodeQosRecord(const std::string& data);

// Local time with milliseconds, "2024-05-01 12:00:00.123".
std::string NowText();
