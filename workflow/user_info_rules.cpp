#include "workflow/user_info_rules.h"

namespace launch {

namespace {

// The game client splits its command line at blanks and reads "key:value"
// words; the program-start call splits at blanks and tabs and joins quoted
// runs. So a blank of any kind, a control character or a '"' could end a
// word early or glue the launcher's words together.
bool IsBlank(wchar_t c) {
  switch (c) {
    case L' ': case 0x00A0: case 0x1680: case 0x2028: case 0x2029: case 0x202F: case 0x205F:
    case 0x3000: case 0xFEFF:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200B;
  }
}

bool IsControl(wchar_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F); }

wchar_t FoldAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool EqualsIgnoringAsciiCase(const std::wstring& a, const wchar_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return i == a.size() && b[i] == 0;
}

std::string Number(size_t n) { return std::to_string(n); }

}  // namespace

bool IsLauncherWord(const std::wstring& key) {
  static const wchar_t* const kWords[] = {L"shell", L"wdver",     L"cmdKey", L"qosStartAt",
                                          L"qosSeq", L"hide", L"cmd"};
  for (const wchar_t* word : kWords)
    if (EqualsIgnoringAsciiCase(key, word)) return true;
  return false;
}

std::string UserInfoProblem(const std::wstring& userInfo) {
  size_t piece = 1;
  size_t start = 0;
  while (start <= userInfo.size()) {
    size_t end = userInfo.find(L'&', start);
    if (end == std::wstring::npos) end = userInfo.size();
    const std::wstring text = userInfo.substr(start, end - start);
    for (wchar_t c : text) {
      if (IsBlank(c)) return "blank in piece " + Number(piece);
      if (IsControl(c)) return "control character in piece " + Number(piece);
      if (c == L'"') return "quote in piece " + Number(piece);
    }
    // Both "=" and ":" end up as the client's key separator, so the key is
    // what stands before the first of either; a bare word counts whole.
    const std::wstring key = text.substr(0, text.find_first_of(L"=:"));
    if (IsLauncherWord(key)) {
      std::string shown;
      for (wchar_t c : key) shown += static_cast<char>(c);  // ASCII by the test above
      return "reserved word " + shown + " in piece " + Number(piece);
    }
    start = end + 1;
    ++piece;
  }
  return std::string();
}

}  // namespace launch
