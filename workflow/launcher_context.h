#pragma once
// The one record that every workflow state reaches. start-up makes one per
// run and hands it to whatever needs it; there is no process-wide instance.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "install/install_config.h"
#include "net/qos_reporter.h"
#include "workflow/prefetch.h"

struct DownloadTask;
class ILoadingPage;
class State;

struct LauncherContext {
  LauncherContext();
  ~LauncherContext();  // frees whatever it still owns: state first, then task and page
  LauncherContext(const LauncherContext&) = delete;
  LauncherContext& operator=(const LauncherContext&) = delete;

  // The run's install configuration and statistics identity. The context
  // owns both; `config` and `qos` point at them unless a test points them at
  // records of its own.
  InstallConfig configRecord;
  QosReporter qosRecord;
  InstallConfig* config = &configRecord;
  QosReporter* qos = &qosRecord;
  HWND window = nullptr;                  // main window, owner of the error message box
  std::unique_ptr<DownloadTask> download; // made by the first state that downloads, freed by CompleteState
  std::unique_ptr<ILoadingPage> page;     // the splash page, freed by CompleteState
  // The file of a logo that came before the page did; the page takes it
  // when it is made.
  std::wstring logoFileForPage;
  HINSTANCE instance = nullptr;           // for embedded resources
  std::unique_ptr<State> state;           // the current state
  // The publisher's P-256 public key (PEM) built into this launcher; when set,
  // the install configuration is used only with a valid signature.
  std::string publisherKey;
  // Asks the window to update the states soon; callable from any thread.
  // Empty without a window (the states then wait for the next tick).
  std::function<void()> wake;
  // Requests started ahead of the states that take them over.
  Prefetches prefetches;
  // The run was started with "--repair": every installed file is checked by
  // its hash, not only by its size.
  bool repairRequested = false;
};
