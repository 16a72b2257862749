#pragma once
// The milestones a run reports: each event's number and name, written once.

struct QosEvent {
  int id;
  const char* name;
};

namespace qos {

inline constexpr QosEvent kTokenstart{3, "Tokenstart"};
inline constexpr QosEvent kDownloadPkgStart{10, "DownloadPkgStart"};
inline constexpr QosEvent kDownloadPkgOk{11, "DownloadPkgOk"};
inline constexpr QosEvent kDownloadPkgFailed{12, "DownloadPkgFailed"};
inline constexpr QosEvent kDecompressPkgStart{20, "DecompressPkgStart"};
inline constexpr QosEvent kDecompressPkgOk{21, "DecompressPkgOk"};
inline constexpr QosEvent kLaunchGameStart{25, "LaunchGameStart"};
inline constexpr QosEvent kLaunchGameOk{26, "LaunchGameOk"};
inline constexpr QosEvent kLaunchGameFailed{27, "LaunchGameFailed"};

}  // namespace qos
