#include "base/text.h"

#include <windows.h>

#include <vector>

namespace base {
namespace {

constexpr int kScratchUnits = 4096;

}  // namespace

std::wstring ToWide(const std::string& text, unsigned codePage) {
  const char* source = text.c_str();
  int needed = MultiByteToWideChar(codePage, 0, source, -1, nullptr, 0);
  if (needed <= 0) return std::wstring();
  if (needed <= kScratchUnits) {
    thread_local wchar_t scratch[kScratchUnits];
    scratch[0] = 0;
    MultiByteToWideChar(codePage, 0, source, -1, scratch, kScratchUnits);
    return std::wstring(scratch);
  }
  std::vector<wchar_t> buffer(needed);
  MultiByteToWideChar(codePage, 0, source, -1, buffer.data(), needed);
  return std::wstring(buffer.data());
}

std::string ToNarrow(const std::wstring& text, unsigned codePage) {
  const wchar_t* source = text.c_str();
  int needed = WideCharToMultiByte(codePage, 0, source, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  if (needed <= kScratchUnits) {
    thread_local char scratch[kScratchUnits];
    scratch[0] = 0;
    WideCharToMultiByte(codePage, 0, source, -1, scratch, kScratchUnits, nullptr, nullptr);
    return std::string(scratch);
  }
  std::vector<char> buffer(needed);
  WideCharToMultiByte(codePage, 0, source, -1, buffer.data(), needed, nullptr, nullptr);
  return std::string(buffer.data());
}

}  // namespace base
