#include "install/installed_files.h"

#include <limits>

#include "base/relative_name.h"

namespace {

constexpr uint64_t kMaxSize = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

int LowerHexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ReadSha256(std::string_view text, Sha256Digest* digest) {
  if (text.size() != 2 * digest->size()) return false;
  for (size_t i = 0; i < digest->size(); ++i) {
    int high = LowerHexValue(text[2 * i]);
    int low = LowerHexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    (*digest)[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

bool ReadSize(std::string_view text, uint64_t* value) {
  if (text.empty() || text.size() > 19 || (text.size() > 1 && text[0] == '0')) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > kMaxSize) return false;
  *value = v;
  return true;
}

std::string ParseLine(std::string_view line, InstalledFile* file) {
  size_t space = line.find(' ');
  if (space == std::string_view::npos || !ReadSha256(line.substr(0, space), &file->sha256)) return "bad SHA-256";
  line.remove_prefix(space + 1);
  space = line.find(' ');
  if (space == std::string_view::npos || !ReadSize(line.substr(0, space), &file->size)) return "bad size";
  line.remove_prefix(space + 1);
  std::string problem = base::RelativeNameProblem(line);
  if (!problem.empty()) return problem;
  file->name.assign(line.data(), line.size());
  return std::string();
}

}  // namespace

const InstalledFile* InstalledFiles::Find(std::string_view name) const {
  if (indexedData_ != files.data() || indexedCount_ != files.size()) {
    index_.clear();
    index_.reserve(files.size());
    for (size_t i = 0; i < files.size(); ++i) index_.emplace(base::FoldedName(files[i].name), i);
    indexedData_ = files.data();
    indexedCount_ = files.size();
  }
  auto it = index_.find(base::FoldedName(name));
  return it == index_.end() ? nullptr : &files[it->second];
}

std::string FormatInstalledFiles(const InstalledFiles& ledger) {
  std::string text;
  for (const InstalledFile& f : ledger.files) {
    text += Sha256Text(f.sha256);
    text += ' ' + std::to_string(f.size) + ' ';
    text += f.name;
    text += '\n';
  }
  return text;
}

bool ParseInstalledFiles(std::string_view text, InstalledFiles* ledger, std::string* error) {
  std::vector<InstalledFile> files;
  std::unordered_map<std::string, size_t> seen;
  size_t at = 0;
  while (at < text.size()) {
    const std::string where = "ledger line " + std::to_string(files.size() + 1) + ": ";
    const size_t end = text.find('\n', at);
    if (end == std::string_view::npos) {
      *error = where + "no line end";
      return false;
    }
    InstalledFile file;
    std::string why = ParseLine(text.substr(at, end - at), &file);
    if (!why.empty()) {
      *error = where + why;
      return false;
    }
    auto added = seen.emplace(base::FoldedName(file.name), files.size());
    if (!added.second) {
      *error = where + "\"" + file.name + "\" is listed before as \"" + files[added.first->second].name + "\"";
      return false;
    }
    files.push_back(std::move(file));
    at = end + 1;
  }
  ledger->files = std::move(files);
  ledger->ForgetIndex();
  return true;
}
