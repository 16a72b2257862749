#include "app/launch_name.h"

#include <locale>

#include "base/strings.h"

namespace {

// A run of word characters ("\w": alphanumerics and "_") starting at `i`;
// returns its end, `i` itself when there is none. The class is the one the
// locale's wide character table gives, as for a wide regex's "\w", so names
// in other scripts read the same as they always did.
size_t WordRunEnd(const std::wstring& text, size_t i) {
  const auto& chars = std::use_facet<std::ctype<wchar_t>>(std::locale());
  while (i < text.size() && (chars.is(std::ctype_base::alnum, text[i]) || text[i] == L'_')) ++i;
  return i;
}

}  // namespace

// A word, "-", a word, and optionally "-" and a third word, at the start of
// the stem; anything may follow. A word is a whole run (a "-" ends it), so
// one pass reads the parts, and a name with a third word reads as three.
LauncherName ParseLauncherName(const std::wstring& stem) {
  LauncherName name;
  size_t end1 = WordRunEnd(stem, 0);
  if (end1 == 0 || end1 >= stem.size() || stem[end1] != L'-') return name;
  size_t end2 = WordRunEnd(stem, end1 + 1);
  if (end2 == end1 + 1) return name;
  name.namePrefix = stem.substr(0, end1);
  name.platform = stem.substr(end1 + 1, end2 - end1 - 1);
  if (end2 < stem.size() && stem[end2] == L'-') {
    size_t end3 = WordRunEnd(stem, end2 + 1);
    if (end3 > end2 + 1) name.token = stem.substr(end2 + 1, end3 - end2 - 1);
  }
  return name;
}

bool IsUninstallLauncher(const std::wstring& modulePath) {
  return base::Contains(base::FileNamePart(modulePath), L"Uninstall.exe");
}

LaunchMode ChooseLaunchMode(const std::wstring& commandLine, const std::wstring& modulePath) {
  if (base::Contains(commandLine, L"://") && !base::Contains(modulePath, L".run.exe"))
    return LaunchMode::WebLaunchCopy;
  if (IsUninstallLauncher(modulePath)) return LaunchMode::Uninstall;
  return LaunchMode::Normal;
}

bool RepairRequested(const std::wstring& commandLine) {
  if (base::Contains(commandLine, L"://")) return false;
  static const std::wstring kWord = L"--repair";
  size_t i = 0;
  while (i < commandLine.size()) {
    while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t')) ++i;
    size_t end = i;
    while (end < commandLine.size() && commandLine[end] != L' ' && commandLine[end] != L'\t') ++end;
    if (commandLine.compare(i, end - i, kWord) == 0) return true;
    i = end;
  }
  return false;
}

std::wstring WebLaunchCopyPath(const std::wstring& modulePath) {
  return base::JoinPath(base::DirectoryPart(modulePath), base::Stem(modulePath) + L".run.exe");
}

std::wstring WebLaunchUserInfo(const std::wstring& commandLine) {
  size_t q = commandLine.find(L'?');
  // Without a "?" the slice starts at 0, as if the mark stood just before the text.
  size_t start = q == std::wstring::npos ? 0 : q + 1;
  size_t end = commandLine.empty() ? 0 : commandLine.size() - 1;
  if (start >= end) return std::wstring();
  return commandLine.substr(start, end - start);
}
