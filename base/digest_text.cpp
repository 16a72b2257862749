#include "base/digest_text.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseSha256Text(const std::string& text, Sha256Digest* digest) {
  if (text.size() != 2 * digest->size()) return false;
  Sha256Digest parsed{};
  for (size_t i = 0; i < parsed.size(); ++i) {
    int high = HexValue(text[2 * i]);
    int low = HexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    parsed[i] = static_cast<uint8_t>(high * 16 + low);
  }
  *digest = parsed;
  return true;
}

std::string Sha256Text(const Sha256Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * digest.size());
  for (uint8_t b : digest) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}
