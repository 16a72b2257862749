#include "net/qos_format.h"

#include <cstdio>

#include "base/md5.h"
#include "net/qos_reporter.h"
#include "net/qos_value.h"

std::string FormatQosUrl(const QosReporter& r, int eventId, const std::string& eventName,
                         const std::string& osName, int32_t elapsedSeconds) {
  // uid and skey come from a web page or the token server: unescaped, a "#"
  // would cut the report and a ";" or "}" would forge its items.
  char buffer[4096];
  int n = snprintf(buffer, sizeof buffer,
                   "%s?data=KZ={G:1;S:%s;W:%s;U:0;N:%s;T:%d;%s;AGENT:;OS:%s;J:%d;V:%s;PLAT:%s;}",
                   r.url.c_str(), EncodeQosValue(r.sQosSeq).c_str(), EncodeQosValue(r.skey).c_str(),
                   EncodeQosValue(r.uid).c_str(), eventId, EncodeQosValue(eventName).c_str(),
                   EncodeQosValue(osName).c_str(), static_cast<int>(elapsedSeconds),
                   EncodeQosValue(r.version).c_str(), EncodeQosValue(r.plat).c_str());
  return n < 0 ? std::string() : std::string(buffer);
}

std::string OsNameFor(unsigned major, unsigned minor) {
  struct Known {
    unsigned major, minor;
    const char* name;
  };
  static const Known kNames[] = {
      {5, 0, "Windows2000"},  {5, 1, "WindowsXP"}, {5, 2, "Windows2003"},
      {6, 0, "WindowsVista"}, {6, 1, "Windows7"},  {6, 2, "Windows8"},
      {6, 3, "Windows8_1"},
  };
  if (major == 10) return "Windows10";  // any minor
  for (const Known& k : kNames)
    if (k.major == major && k.minor == minor) return k.name;
  char text[64];
  snprintf(text, sizeof text, "OSmajor_%u_minor_%u", major, minor);
  return text;
}

std::string FormatAdapterAddress(const unsigned char* bytes, size_t count) {
  std::string text;
  char part[4];
  for (size_t i = 0; i < count; ++i) {
    if (i) text += '-';
    snprintf(part, sizeof part, "%02X", bytes[i]);
    text += part;
  }
  return text;
}

std::string LowerHex(const unsigned char* bytes, size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

std::string Md5Hex(const std::string& bytes) {
  base::Md5Digest digest = base::Md5(bytes);
  return LowerHex(digest.data(), digest.size());
}
