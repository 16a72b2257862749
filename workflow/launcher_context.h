#pragma once
// The one record that every workflow state reaches.
#include <windows.h>

struct InstallConfig;
struct DownloadTask;
class ILoadingPage;
class State;
struct QosReporter;

struct LauncherContext {
  InstallConfig* config = nullptr;  // the process-wide install configuration
  HWND window = nullptr;            // main window, owner of the error message box
  DownloadTask* download = nullptr; // created by the first state, freed by CompleteState
  ILoadingPage* page = nullptr;     // the splash page, freed by CompleteState
  HINSTANCE instance = nullptr;     // for embedded resources
  State* state = nullptr;           // current state, owned here
  QosReporter* qos = nullptr;       // the process-wide statistics reporter
};

// The launcher's one context.
LauncherContext& TheContext();
