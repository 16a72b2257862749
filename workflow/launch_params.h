#pragma once
// The command lines the launcher hands to the game client and to the
// micro-client shell. Pure text building, free of windows.h.
#include <cstdint>
#include <string>

namespace launch {

// "&qosStartAt=%d&qosSeq=%s" as UTF-8, formatted into 1,024 bytes.
std::string QosTail(int32_t qosStartAt, const std::string& qosSeq);

// userInfo + "&shell=" + shell path + "&wdver=2&cmdKey=" + key + qosTail, then
// every "&" turned into a blank and every "=" into ":".
std::wstring GameParams(const std::wstring& userInfo, const std::wstring& shellPath,
                        const std::wstring& cmdKey, const std::wstring& qosTail);

// With a user info: platform + " hide cmd" + key. Without: the platform alone.
std::wstring ShellParams(const std::wstring& platform, bool hasUserInfo, const std::wstring& cmdKey);

}  // namespace launch
