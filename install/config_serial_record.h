#pragma once
// The highest configuration serial this user's launcher has accepted for an
// installation, kept in HKEY_CURRENT_USER\Software\Vorn\<installName>, value
// "configSerial" (REG_SZ, decimal), out of reach of the package and the
// install folder. A security record, not a setting: a signed configuration
// with a lower serial is an older one served again.
#include <cstdint>
#include <string>

// Below HKEY_CURRENT_USER.
std::wstring ConfigSerialKeyPath(const std::wstring& installName);

enum class SerialRecord { kNone, kFound, kUnreadable };

// kFound with `serial` set; kNone when no serial was kept; kUnreadable when
// the value is there but is not a decimal REG_SZ serial.
SerialRecord ReadAcceptedSerial(const std::wstring& installName, uint64_t* serial);
// Keeps `serial`, creating the key when needed; false (logged) when it cannot.
bool WriteAcceptedSerial(const std::wstring& installName, uint64_t serial);
