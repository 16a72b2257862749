#include "net/qos_value.h"

std::string EncodeQosValue(const std::string& value) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size());
  for (unsigned char c : value) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '_' || c == '.' || c == '~' || c == '=' || c == '/';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += "%25";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}
