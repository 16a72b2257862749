#include "report_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

bool LineLog::Append(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  FILE* f = std::fopen(path_.c_str(), "ab");
  if (!f) return false;
  std::fwrite(line.data(), 1, line.size(), f);
  std::fputc('\n', f);
  std::fclose(f);
  return true;
}

std::string LineLog::ReadAll() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::ifstream in(path_, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void LineLog::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (FILE* f = std::fopen(path_.c_str(), "wb")) std::fclose(f);
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One value of the record: "%XX" back to its byte; anything else as it is.
std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    int hi = -1, lo = -1;
    if (text[i] == '%' && i + 2 < text.size() &&
        (hi = HexValue(text[i + 1])) >= 0 && (lo = HexValue(text[i + 2])) >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

// The record is split at its own ";" first; only then is each value decoded,
// so a value's escaped ";" or "}" stays inside that value.
std::string DecodeQosRecord(const std::string& data) {
  const std::string prefix = "KZ={";
  if (data.size() < prefix.size() + 1 || data.compare(0, prefix.size(), prefix) != 0 ||
      data.back() != '}')
    return "MALFORMED=1\tRAW=" + data;
  std::string inner = data.substr(prefix.size(), data.size() - prefix.size() - 1);
  std::string fields;
  size_t start = 0;
  while (start < inner.size()) {
    size_t end = inner.find(';', start);
    if (end == std::string::npos) end = inner.size();
    std::string item = inner.substr(start, end - start);
    size_t colon = item.find(':');
    fields += colon == std::string::npos
                  ? "EVENT=" + PercentDecode(item)
                  : item.substr(0, colon) + "=" + PercentDecode(item.substr(colon + 1));
    fields += '\t';
    start = end + 1;
  }
  return fields + "RAW=" + data;
}

std::string NowText() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t seconds = system_clock::to_time_t(now);
  int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  char full[80];
  std::snprintf(full, sizeof full, "%s.%03d", text, ms);
  return full;
}
