#pragma once
// The small requests a run may start ahead of the states that take them over
// (see Prefetches), and their keys among the prefetches.
#include <string>

struct InstallConfig;

inline constexpr const char* kUserInfoPrefetchKey = "user info";
inline constexpr const char* kPkgVerPrefetchKey = "package version";

// The token server's URL carries its own "?" and parameter name.
std::string UserInfoRequestUrl(const InstallConfig& config);
// The time parameter keeps caches between us and the server from answering
// with an old version.
std::string PkgVerRequestUrl(const InstallConfig& config);
