// The user information reaches the game client's command line from a web
// page (the URL protocol's command line) or from the token server's reply.
// Whatever arrives, either it is refused, or the built command line holds
// each of the launcher's words exactly once, with the launcher's values, and
// nothing from the input outside the user-info words before them; built from
// a uid and an skey value, those are the only two words of the input.
//
// Input: a route byte (0 web launch, 1 token reply, 2 uid/skey values), then
// the text: UTF-8 bytes; for route 2 the uid and skey values split at 0xFF.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/launch_name.h"
#include "fuzz/fuzz_check.h"
#include "workflow/launch_params.h"
#include "workflow/user_info_rules.h"

namespace {

const std::wstring kShell = L"C:\\Vorn\\wd.exe";
const std::wstring kKey = L"1700000005";
const std::wstring kTail = L"&qosStartAt=1700000000&qosSeq=0123456789abcdef0123456789abcdef";
const std::vector<std::wstring> kLauncherWords = {
    L"shell:" + kShell, L"wdver:2", L"cmdKey:" + kKey, L"qosStartAt:1700000000",
    L"qosSeq:0123456789abcdef0123456789abcdef"};

// UTF-8 to UTF-16 as the launcher's converter does it: bad sequences become
// U+FFFD, characters above U+FFFF surrogate pairs.
std::wstring Decode(const std::string& bytes) {
  std::wstring out;
  size_t i = 0;
  while (i < bytes.size()) {
    unsigned char c = bytes[i];
    unsigned cp = 0xFFFD;
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 1) {
      cp = c;
    } else if (n > 1 && i + n <= bytes.size()) {
      cp = c & (0x7F >> n);
      bool ok = true;
      for (size_t k = 1; k < n; ++k) {
        unsigned char t = bytes[i + k];
        ok = ok && (t >> 6) == 2;
        cp = (cp << 6) | (t & 0x3F);
      }
      if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD, n = 1;
    } else {
      n = 1;
    }
    if (cp > 0xFFFF) {
      cp -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (cp >> 10));
      out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<wchar_t>(cp);
    }
    i += n;
  }
  return out;
}

std::string Shown(const std::wstring& text) {
  std::string bytes;
  for (wchar_t c : text) bytes += c < 0x80 ? static_cast<char>(c) : '?';
  return fuzz::Shown(bytes);
}

std::vector<std::wstring> Words(const std::wstring& params) {
  std::vector<std::wstring> words;
  size_t start = 0;
  while (start <= params.size()) {
    size_t end = params.find(L' ', start);
    if (end == std::wstring::npos) end = params.size();
    if (end > start) words.push_back(params.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

// What the client takes for a word's key: the text before its first ":".
std::wstring KeyOf(const std::wstring& word) { return word.substr(0, word.find(L':')); }

// The property for user info that was let through. Returns the user-info words.
std::vector<std::wstring> CheckAccepted(const std::wstring& info) {
  const std::wstring params = launch::GameParams(info, kShell, kKey, kTail);
  for (wchar_t c : params)
    FUZZ_CHECK(c >= 0x20 && c != 0x7F && !(c >= 0x80 && c <= 0x9F) && c != L'"' && c != L'\t',
               "character " + std::to_string(c) + " on the command line: " + Shown(params));
  std::vector<std::wstring> words = Words(params);
  FUZZ_CHECK(words.size() >= kLauncherWords.size(), "too few words: " + Shown(params));
  const size_t own = words.size() - kLauncherWords.size();
  for (size_t i = 0; i < kLauncherWords.size(); ++i)
    FUZZ_CHECK(words[own + i] == kLauncherWords[i], "launcher word changed: " + Shown(params));
  for (size_t i = 0; i < own; ++i)
    FUZZ_CHECK(!launch::IsLauncherWord(KeyOf(words[i])), "forged word " + Shown(words[i]));
  // Exactly once each: the launcher's are at the end, none among the user's.
  for (const std::wstring& word : kLauncherWords) {
    size_t count = 0;
    for (const std::wstring& w : words) count += KeyOf(w) == KeyOf(word);
    FUZZ_CHECK(count == 1, "word " + Shown(KeyOf(word)) + " " + std::to_string(count) + " times");
  }
  words.resize(own);
  return words;
}

bool HasForbidden(const std::wstring& value) {
  for (wchar_t c : value)
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == L'"' || c == L' ' || c == 0x00A0 ||
        c == 0x1680 || (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
        c == 0x205F || c == 0x3000 || c == 0xFEFF)
      return true;
  return false;
}

std::wstring Folded(std::wstring text) {
  for (wchar_t& c : text) c = c == L'=' ? L':' : c;
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int route = data[0] % 3;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  if (route == 0) {
    // A web launch: the command line after its "?", without its last character.
    const std::wstring info = WebLaunchUserInfo(Decode(bytes));
    if (launch::UserInfoProblem(info).empty()) CheckAccepted(info);
  } else if (route == 1) {
    // A token reply, read up to its first zero byte; empty and "error..." fail first.
    const std::string reply = bytes.substr(0, bytes.find('\0'));
    if (reply.empty() || reply.compare(0, 5, "error") == 0) return 0;
    const std::wstring info = Decode(reply);
    if (launch::UserInfoProblem(info).empty()) CheckAccepted(info);
  } else {
    // A page that only fills in the two values: they are all that gets through.
    const size_t split = bytes.find('\xFF');
    const std::wstring uid = Decode(bytes.substr(0, split));
    const std::wstring skey = split == std::string::npos ? L"" : Decode(bytes.substr(split + 1));
    if (uid.find(L'&') != std::wstring::npos || skey.find(L'&') != std::wstring::npos) return 0;
    const std::wstring info = L"uid=" + uid + L"&skey=" + skey;
    const bool refused = !launch::UserInfoProblem(info).empty();
    FUZZ_CHECK(refused == (HasForbidden(uid) || HasForbidden(skey)),
               std::string(refused ? "refused " : "let through ") + Shown(info));
    if (refused) return 0;
    std::vector<std::wstring> words = CheckAccepted(info);
    std::vector<std::wstring> expected = {L"uid:" + Folded(uid), L"skey:" + Folded(skey)};
    FUZZ_CHECK(words == expected, "user words of " + Shown(info));
  }
  return 0;
}
