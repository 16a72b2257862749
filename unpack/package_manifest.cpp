#include "unpack/package_manifest.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "base/relative_name.h"

namespace {

constexpr uint64_t kMaxNumber = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
constexpr size_t kHashDigits = 64;
constexpr size_t kCrcDigits = 8;

int LowerHexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The field up to the next space; false when there is no space.
bool TakeField(std::string_view& line, std::string_view& field) {
  size_t space = line.find(' ');
  if (space == std::string_view::npos) return false;
  field = line.substr(0, space);
  line.remove_prefix(space + 1);
  return true;
}

// Decimal as FormatManifest writes it: digits only, no leading zero, at most 2^63-1.
bool ReadNumber(std::string_view text, uint64_t* value) {
  if (text.empty() || text.size() > 19 || (text.size() > 1 && text[0] == '0')) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > kMaxNumber) return false;
  *value = v;
  return true;
}

bool ReadSha256(std::string_view text, Sha256Digest* digest) {
  if (text.size() != kHashDigits) return false;
  for (size_t i = 0; i < digest->size(); ++i) {
    int high = LowerHexValue(text[2 * i]);
    int low = LowerHexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    (*digest)[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

bool ReadCrc(std::string_view text, uint32_t* crc) {
  if (text.size() != kCrcDigits) return false;
  uint32_t v = 0;
  for (char c : text) {
    int d = LowerHexValue(c);
    if (d < 0) return false;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  *crc = v;
  return true;
}

std::string CrcText(uint32_t crc) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(kCrcDigits, '0');
  for (size_t i = 0; i < kCrcDigits; ++i) text[i] = kDigits[(crc >> (28 - 4 * i)) & 15];
  return text;
}

// One line without its LF; the reason on failure.
std::string ParseLine(std::string_view line, ManifestEntry* entry) {
  std::string_view field;
  if (!TakeField(line, field) || !ReadSha256(field, &entry->sha256)) return "bad SHA-256";
  if (!TakeField(line, field) || !ReadCrc(field, &entry->crc32)) return "bad CRC-32";
  uint64_t method = 0;
  if (!TakeField(line, field) || !ReadNumber(field, &method)) return "bad method";
  if (method != 0 && method != 8) return "method " + std::string(field) + " is not stored (0) or deflated (8)";
  entry->method = static_cast<uint16_t>(method);
  if (!TakeField(line, field) || !ReadNumber(field, &entry->compressedSize)) return "bad compressed size";
  if (!TakeField(line, field) || !ReadNumber(field, &entry->size)) return "bad size";
  if (!TakeField(line, field) || !ReadNumber(field, &entry->dataOffset)) return "bad data offset";
  if (entry->method == 0 && entry->compressedSize != entry->size) return "stored entry whose sizes differ";
  if (entry->compressedSize > kMaxNumber - entry->dataOffset) return "data run past 2^63";
  std::string problem = base::RelativeNameProblem(line);
  if (!problem.empty()) return problem;
  entry->name.assign(line.data(), line.size());
  return std::string();
}

// Names equal ignoring case, or one name a folder of another (a file cannot
// also be a folder). Sorting the folded names puts "A" right before "A/..."
// unless names such as "A!" (below '/') lie between them, so every name is
// also looked up as a prefix of the names that follow it.
std::string NameClash(const std::vector<ManifestEntry>& entries) {
  std::vector<std::pair<std::string, size_t>> folded;
  folded.reserve(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) folded.emplace_back(base::FoldedName(entries[i].name), i);
  std::sort(folded.begin(), folded.end());
  for (size_t i = 0; i < folded.size(); ++i) {
    const std::string& name = folded[i].first;
    if (i + 1 < folded.size() && folded[i + 1].first == name)
      return "\"" + entries[folded[i].second].name + "\" and \"" + entries[folded[i + 1].second].name +
             "\" are one file on Windows";
    const std::string folder = name + "/";
    auto below = std::lower_bound(folded.begin() + static_cast<std::ptrdiff_t>(i) + 1, folded.end(),
                                  std::make_pair(folder, size_t{0}));
    if (below != folded.end() && below->first.compare(0, folder.size(), folder) == 0)
      return "\"" + entries[folded[i].second].name + "\" is a file and a folder of \"" +
             entries[below->second].name + "\"";
  }
  return std::string();
}

std::string DataOverlap(const std::vector<ManifestEntry>& entries) {
  std::vector<size_t> order;
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].compressedSize > 0) order.push_back(i);
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return entries[a].dataOffset < entries[b].dataOffset; });
  for (size_t i = 1; i < order.size(); ++i) {
    const ManifestEntry& before = entries[order[i - 1]];
    const ManifestEntry& after = entries[order[i]];
    if (before.dataOffset + before.compressedSize > after.dataOffset)
      return "the data of \"" + before.name + "\" and \"" + after.name + "\" overlap";
  }
  return std::string();
}

}  // namespace

bool ManifestEntry::operator==(const ManifestEntry& other) const {
  return name == other.name && method == other.method && crc32 == other.crc32 &&
         compressedSize == other.compressedSize && size == other.size && dataOffset == other.dataOffset &&
         sha256 == other.sha256;
}

uint64_t PackageManifest::DataEnd() const {
  uint64_t end = 0;
  for (const ManifestEntry& e : entries) end = std::max(end, e.dataOffset + e.compressedSize);
  return end;
}

std::string FormatManifest(const PackageManifest& manifest) {
  std::string text;
  for (const ManifestEntry& e : manifest.entries) {
    text += Sha256Text(e.sha256);
    text += ' ';
    text += CrcText(e.crc32);
    text += ' ' + std::to_string(e.method) + ' ' + std::to_string(e.compressedSize) + ' ' +
            std::to_string(e.size) + ' ' + std::to_string(e.dataOffset) + ' ';
    text += e.name;
    text += '\n';
  }
  return text;
}

bool ParseManifest(std::string_view text, PackageManifest* manifest, std::string* error) {
  PackageManifest parsed;
  size_t at = 0;
  size_t lineNumber = 0;
  while (at < text.size()) {
    ++lineNumber;
    const size_t end = text.find('\n', at);
    if (end == std::string_view::npos) {
      *error = "manifest line " + std::to_string(lineNumber) + ": no line end";
      return false;
    }
    ManifestEntry entry;
    std::string why = ParseLine(text.substr(at, end - at), &entry);
    if (!why.empty()) {
      *error = "manifest line " + std::to_string(lineNumber) + ": " + why;
      return false;
    }
    parsed.entries.push_back(std::move(entry));
    at = end + 1;
  }
  if (parsed.entries.empty()) {
    *error = "manifest has no entries";
    return false;
  }
  std::string why = NameClash(parsed.entries);
  if (why.empty()) why = DataOverlap(parsed.entries);
  if (!why.empty()) {
    *error = "manifest: " + why;
    return false;
  }
  *manifest = std::move(parsed);
  return true;
}
