#include "install/uninstall.h"

// Placeholder until the uninstaller lands.
void RunUninstall(const std::wstring&, const std::wstring&) {}
