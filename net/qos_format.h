#pragma once
// Text pieces of the statistics reports, free of windows.h.
#include <cstddef>
#include <cstdint>
#include <string>

struct QosReporter;

// The report URL of one event, cut to 4095 bytes like the fixed buffer it is
// formatted into. Every value is escaped with EncodeQosValue.
std::string FormatQosUrl(const QosReporter& reporter, int eventId, const std::string& eventName,
                         const std::string& osName, int32_t elapsedSeconds);

// The name a report gives a Windows version, e.g. "Windows7", or
// "OSmajor_11_minor_0" for pairs the table does not know.
std::string OsNameFor(unsigned major, unsigned minor);

// Adapter address bytes as "00-1A-2B-...": two uppercase hex digits each, "-" between.
std::string FormatAdapterAddress(const unsigned char* bytes, size_t count);

// Bytes as lowercase hex digits (a digest as text).
std::string LowerHex(const unsigned char* bytes, size_t count);

// MD5 of `bytes` as 32 lowercase hex digits: the run's sequence text.
std::string Md5Hex(const std::string& bytes);
