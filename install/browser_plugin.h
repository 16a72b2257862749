#pragma once
// The browser plug-in that a launcher may carry as resource "DLL"/130.
#include <windows.h>

struct InstallConfig;

// Writes the plug-in into the application-data folder and lets it register
// itself. An executable without the resource (the shipped launcher) skips it.
void RegisterBrowserPlugin(HINSTANCE instance, const InstallConfig& config);
