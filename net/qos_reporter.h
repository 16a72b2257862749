#pragma once
// Fire-and-forget statistics reports of a run's milestones.
#include <cstdint>
#include <string>

#include "net/qos_event.h"

struct QosReporter {
  std::string url;          // base URL; while empty, reports are dropped
  int32_t qosStartAt = 0;   // seconds since 1970 of the run's first report
  std::string sQosSeq;      // the run's sequence text (32 hex digits)
  std::string plat;         // platform word, UTF-8
  std::string skey;
  std::string uid;
  std::string version;      // "install-v" + file version, or empty
};

// Reads the machine's network address, which the run's identity is made
// from, on a thread of its own: the first report then need not wait for the
// system's adapter list on the window's thread.
void PrepareQosIdentity();

// Sends one report of `event` for the run `reporter` describes and returns at
// once. The run's first report fixes its start time and sequence in `reporter`.
void reportQos(QosReporter& reporter, const QosEvent& event);

// At process exit: tells the reports still in flight to stop and waits for
// them at most `maxWaitMs`, so an unreachable statistics server cannot hold
// the finished launcher. Reports still running afterwards are abandoned.
void StopQosReports(unsigned maxWaitMs);

// Test seam: the process's sequence counter back to 1, as if the process had
// just started; reports in flight carry on.
void ResetQosSequenceForTesting();
