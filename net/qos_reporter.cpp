#include "net/qos_reporter.h"

#include <ctime>

#include "base/background_value.h"
#include "base/log.h"
#include "base/strings.h"
#include "net/download_task.h"
#include "net/qos_format.h"
#include "net/qos_system.h"

namespace {

// The reports' jobs. Each report gets a task of its own so that answers
// arriving together never write into one body buffer. Created on first use
// and deliberately never destroyed by the runtime: a report thread still
// waiting on an unreachable server at exit must not find its records freed.
DownloadJobList* g_jobs = nullptr;
int g_sequenceCounter = 1;  // per process, so two runs in one second on one machine share S

int32_t NowSeconds() { return static_cast<int32_t>(static_cast<uint32_t>(std::time(nullptr))); }

base::BackgroundValue<std::string>& TheNetworkAddress() {
  static base::BackgroundValue<std::string> address;
  return address;
}

void ReleaseTasks(const std::vector<DownloadTask*>& tasks) {
  for (DownloadTask* task : tasks) delete task;
}

}  // namespace

void PrepareQosIdentity() { TheNetworkAddress().Start(NetworkAddressText); }

void reportQos(QosReporter& r, const QosEvent& event) {
  if (!g_jobs) g_jobs = new DownloadJobList;
  ReleaseTasks(FreeEndedJobs(*g_jobs));

  if (r.url.empty()) return;

  if (r.qosStartAt == 0) {
    // The first report of the run fixes its identity for the whole process.
    r.qosStartAt = NowSeconds();
    int n = g_sequenceCounter++;
    std::string seed = TheNetworkAddress().Take(NetworkAddressText) + base::TimestampText() + std::to_string(n);
    r.sQosSeq = Md5Hex(seed);
    Log("reportQos::sQosSeq:%s", r.sQosSeq.c_str());
    std::string fileVersion = LauncherFileVersion();
    if (!fileVersion.empty()) r.version = "install-v" + fileVersion;
  }

  std::string url = FormatQosUrl(r, event.id, event.name, RunningOsName(), NowSeconds() - r.qosStartAt);
  StartDownload(*g_jobs, "qos", url, new DownloadTask);
}

void StopQosReports(unsigned maxWaitMs) {
  if (!g_jobs) return;
  ReleaseTasks(StopAllWithin(*g_jobs, maxWaitMs));
  if (!g_jobs->empty())
    Log("%d statistics reports still pending at exit, abandoned", static_cast<int>(g_jobs->size()));
}

void ResetQosSequenceForTesting() { g_sequenceCounter = 1; }
