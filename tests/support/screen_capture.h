#pragma once
// Pictures for checks: screen captures of windows, small PNG files, and the
// folder where tests leave pictures for a person to look at.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace support {

// Screen pixels as 0x00RRGGBB, row by row from the top.
struct Capture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels.at(static_cast<size_t>(y) * width + x); }
};
// The screen under the window's rectangle grown by `margin` on every side.
bool CaptureWindow(HWND window, Capture* capture, int margin = 0);
bool SavePng(const Capture& capture, const std::wstring& path);
// The bytes of a PNG picture in one colour (0xAARRGGBB); empty on failure.
std::string MakePng(int width, int height, uint32_t argb);
// <build>/test-artifacts, or a folder `sub` in it; made when missing.
std::wstring ArtifactDir(const std::wstring& sub = L"");

}  // namespace support
