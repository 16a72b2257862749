#include "workflow/transfer_status.h"

#include <cmath>
#include <cwchar>

namespace {

std::wstring Printf(const wchar_t* format, double value, const wchar_t* unit) {
  wchar_t text[64];
  std::swprintf(text, sizeof text / sizeof text[0], format, value, unit);
  return text;
}

}  // namespace

std::wstring ByteSizeText(int64_t bytes) {
  if (bytes < 0) bytes = 0;
  if (bytes < 1024) return std::to_wstring(bytes) + L" B";
  static const wchar_t* const kUnits[] = {L"KB", L"MB", L"GB", L"TB"};
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  // 1023.96 MB would print as "1024.0 MB": go up a unit instead.
  while (unit + 1 < sizeof kUnits / sizeof kUnits[0] && value >= 1023.95) {
    value /= 1024;
    ++unit;
  }
  return Printf(L"%.1f %ls", value, kUnits[unit]);
}

std::wstring CompactSizeText(int64_t bytes) {
  if (bytes < 0) bytes = 0;
  if (bytes < 1024) return std::to_wstring(bytes) + L"B";
  static const wchar_t* const kUnits[] = {L"K", L"M", L"G", L"T"};
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  // 1023.6 would print as "1024": go up a unit instead.
  while (unit + 1 < sizeof kUnits / sizeof kUnits[0] && value >= 1023.5) {
    value /= 1024;
    ++unit;
  }
  return Printf(value < 9.95 ? L"%.1f%ls" : L"%.0f%ls", value, kUnits[unit]);
}

std::wstring SpeedText(double bytesPerSecond) {
  if (!(bytesPerSecond > 0) || !std::isfinite(bytesPerSecond)) return std::wstring();
  double capped = bytesPerSecond > 9.0e18 ? 9.0e18 : bytesPerSecond;
  return CompactSizeText(static_cast<int64_t>(capped)) + L"/s";
}

std::wstring TimeLeftText(int64_t seconds) {
  if (seconds < 0 || seconds > 99 * 3600) return std::wstring();
  if (seconds < 60) return L"剩余" + std::to_wstring(seconds) + L"秒";
  if (seconds < 3600) return L"剩余" + std::to_wstring((seconds + 59) / 60) + L"分钟";
  return L"剩余" + std::to_wstring((seconds + 3599) / 3600) + L"小时";
}

std::wstring TransferFiguresText(int64_t done, int64_t total, double bytesPerSecond) {
  if (done < 0) done = 0;
  std::wstring text = L" " + CompactSizeText(done);
  bool totalKnown = total > 1 && total >= done;
  if (totalKnown) text += L"/" + CompactSizeText(total);
  std::wstring speed = SpeedText(bytesPerSecond);
  if (speed.empty()) return text;
  text += L" " + speed;
  if (totalKnown && total > done) {
    double seconds = std::ceil(static_cast<double>(total - done) / bytesPerSecond);
    std::wstring left = seconds < 1e12 ? TimeLeftText(static_cast<int64_t>(seconds)) : std::wstring();
    if (!left.empty()) text += L" " + left;
  }
  return text;
}

std::wstring RetryText(int retry) { return L" 网络中断，正在第" + std::to_wstring(retry) + L"次重试..."; }

std::wstring DiskSpaceText(int64_t needed, int64_t available) {
  return L"磁盘空间不足！下载游戏包还需要 " + ByteSizeText(needed) + L"，安装盘只剩 " +
         ByteSizeText(available) + L"。请清理磁盘后再试。";
}

void SpeedMeter::Add(uint64_t ms, int64_t bytes) {
  if (!samples_.empty() && (bytes < samples_.back().second || ms < samples_.back().first)) samples_.clear();
  samples_.emplace_back(ms, bytes);
  while (samples_.size() > 2 && ms - samples_[1].first >= kWindowMs) samples_.pop_front();
}

double SpeedMeter::BytesPerSecond() const {
  if (samples_.size() < 2) return -1;
  uint64_t span = samples_.back().first - samples_.front().first;
  if (span < 500) return -1;
  return static_cast<double>(samples_.back().second - samples_.front().second) * 1000.0 /
         static_cast<double>(span);
}
