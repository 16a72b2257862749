#include "base/desktop.h"

#include <windows.h>

#include <mutex>

namespace base {

void AwaitDesktop() {
  static std::mutex first;
  std::lock_guard<std::mutex> lock(first);
  GetDesktopWindow();
}

}  // namespace base
