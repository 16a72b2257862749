// The game client's command line carries the user info, which a web page can
// put on the launcher's command line. Whatever the pieces hold, the finished
// parameters keep no "&" or "=" (the client splits on blanks and ":"), lose or
// add nothing else, and the statistics tail always fits its 1,024-byte buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "workflow/launch_params.h"

namespace {

// Bytes as wide units; the tail is UTF-8 in the launcher, but only "&" and "="
// matter here and they are single bytes in UTF-8.
std::wstring Widen(const std::string& text) {
  std::wstring wide;
  for (unsigned char c : text) wide += static_cast<wchar_t>(c);
  return wide;
}

std::string Shown(const std::wstring& text) {
  std::string bytes;
  for (wchar_t c : text) bytes += static_cast<char>(c);
  return fuzz::Shown(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  int32_t qosStartAt;
  std::memcpy(&qosStartAt, data, 4);
  // The rest: user info, shell path, key, sequence and platform, split at 0xFF.
  std::vector<std::string> parts(5);
  size_t k = 0;
  for (size_t i = 4; i < size; ++i) {
    if (data[i] == 0xFF && k + 1 < parts.size()) {
      ++k;
      continue;
    }
    parts[k] += static_cast<char>(data[i]);
  }
  const std::wstring userInfo = Widen(parts[0]), shell = Widen(parts[1]), key = Widen(parts[2]),
                     platform = Widen(parts[4]);

  const std::string tail = launch::QosTail(qosStartAt, parts[3]);
  FUZZ_CHECK(tail.size() < 1024, "tail of " + std::to_string(tail.size()) + " bytes");
  FUZZ_CHECK(tail.rfind("&qosStartAt=" + std::to_string(qosStartAt) + "&qosSeq=", 0) == 0,
             "tail " + fuzz::Shown(tail));

  const std::wstring params = launch::GameParams(userInfo, shell, key, Widen(tail));
  FUZZ_CHECK(params.find_first_of(L"&=") == std::wstring::npos, "separator left: " + Shown(params));
  const std::wstring fixed = L"&shell=&wdver=2&cmdKey=";
  FUZZ_CHECK(params.size() == userInfo.size() + fixed.size() + shell.size() + key.size() + tail.size(),
             "length changed: " + Shown(params));
  // What the client reads: blank-separated "key:value" words. Pieces that
  // hold no separator of their own end the line as the launcher's words.
  auto plain = [](const std::wstring& piece) { return piece.find_first_of(L" :&=") == std::wstring::npos; };
  // The sequence as the tail carries it (cut at a zero byte or at the buffer's end).
  const std::wstring seq = Widen(tail.substr(tail.find("&qosSeq=") + 8));
  if (plain(shell) && plain(key) && plain(seq)) {
    const std::wstring expected = L" shell:" + shell + L" wdver:2 cmdKey:" + key + L" qosStartAt:" +
                                  std::to_wstring(qosStartAt) + L" qosSeq:" + seq;
    FUZZ_CHECK(params.size() >= expected.size() &&
                   params.compare(params.size() - expected.size(), expected.size(), expected) == 0,
               "launcher words misread in " + Shown(params));
  }
  // The user info keeps its words: outside the separators, every character stays.
  for (size_t i = 0; i < userInfo.size(); ++i) {
    const wchar_t c = userInfo[i];
    FUZZ_CHECK(c == L'&' || c == L'=' || params[i] == c, "user info changed at " + std::to_string(i));
  }

  FUZZ_CHECK(launch::ShellParams(platform, false, key) == platform, "shell params without user info");
  FUZZ_CHECK(launch::ShellParams(platform, true, key) == platform + L" hide cmd" + key,
             "shell params with user info");
  return 0;
}
