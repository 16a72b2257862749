#include "workflow/package_url.h"

#include <cstdio>

namespace {

constexpr size_t kMaxUrlLength = kPackageUrlBufferSize - 1;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a run of digits at `i`; the value saturates just past the longest
// URL, which is all a caller needs to know about a huge width.
size_t ReadCount(const std::string& text, size_t& i) {
  size_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + static_cast<size_t>(text[i] - '0');
    if (value > kPackageUrlBufferSize) value = kPackageUrlBufferSize;
  }
  return value;
}

}  // namespace

// The configuration is someone else's text: handing it to printf unchecked
// lets a "%s" or "%n" read or write arbitrary memory. So the pattern is parsed
// here, and printf only ever sees a conversion built from the checked parts.
bool FormatPackageUrl(const std::string& pattern, int32_t version, std::string& out,
                      std::string& error) {
  out.clear();
  error.clear();
  std::string result;
  int conversions = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      result += pattern[i];
      continue;
    }
    size_t start = i++;
    if (i < pattern.size() && pattern[i] == '%') {
      result += '%';
      continue;
    }
    std::string spec = "%";
    for (; i < pattern.size() && (pattern[i] == '-' || pattern[i] == '+' || pattern[i] == ' ' ||
                                  pattern[i] == '0');
         ++i)
      spec += pattern[i];
    size_t width = ReadCount(pattern, i);
    bool hasPrecision = i < pattern.size() && pattern[i] == '.';
    size_t precision = 0;
    if (hasPrecision) {
      ++i;
      precision = ReadCount(pattern, i);
    }
    if (i >= pattern.size() || (pattern[i] != 'd' && pattern[i] != 'i')) {
      size_t end = i < pattern.size() ? i + 1 : i;
      error = "package url has an unsupported conversion \"" + pattern.substr(start, end - start) +
              "\": " + pattern;
      return false;
    }
    if (++conversions > 1) {
      error = "package url has more than one conversion: " + pattern;
      return false;
    }
    if (width > kMaxUrlLength || precision > kMaxUrlLength) {
      error = "package url is longer than " + std::to_string(kMaxUrlLength) + " bytes: " + pattern;
      return false;
    }
    if (width > 0) spec += std::to_string(width);
    if (hasPrecision) spec += "." + std::to_string(precision);
    spec += 'd';
    char number[kPackageUrlBufferSize];
    int n = std::snprintf(number, sizeof number, spec.c_str(), static_cast<int>(version));
    if (n < 0) {
      error = "package url cannot be formatted: " + pattern;
      return false;
    }
    // A sign and a precision of 1,023 make a number one byte longer than the
    // buffer; cutting it would hand out a URL with a wrong version in it.
    if (static_cast<size_t>(n) >= sizeof number) {
      error = "package url is longer than " + std::to_string(kMaxUrlLength) + " bytes: " + pattern;
      return false;
    }
    result.append(number, static_cast<size_t>(n));
  }
  if (conversions == 0) {
    error = "package url has no integer conversion: " + pattern;
    return false;
  }
  if (result.size() > kMaxUrlLength) {
    error = "package url is longer than " + std::to_string(kMaxUrlLength) + " bytes: " + pattern;
    return false;
  }
  out = std::move(result);
  return true;
}

bool FormatManifestUrl(const std::string& manifestPattern, const std::string& packagePattern, int32_t version,
                       std::string& out, std::string& error) {
  if (!manifestPattern.empty()) {
    if (FormatPackageUrl(manifestPattern, version, out, error)) return true;
    error = "pkgManifestUrl: " + error;
    return false;
  }
  if (!FormatPackageUrl(packagePattern, version, out, error)) return false;
  out += ".manifest";
  return true;
}
