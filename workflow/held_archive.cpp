#include "workflow/held_archive.h"

#include <windows.h>

#include "base/error_text.h"
#include "base/log.h"
#include "base/text.h"

HeldArchive HoldArchive(const std::wstring& path) {
  auto held = std::make_shared<base::UniqueFile>(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!*held) {
    DWORD code = GetLastError();
    Log("the package %s cannot be opened: %s", base::Utf8(path).c_str(), base::ErrorText(code).c_str());
    SetLastError(code);
  }
  return held;
}
