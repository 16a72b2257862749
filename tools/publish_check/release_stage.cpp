#include "release_stage.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "publication.h"
#include "workflow/ini_file.h"
#include "workflow/package_url.h"
#include "workflow/version_number.h"

namespace fs = std::filesystem;

namespace {

const char kConfig[] = "pkg/vorn_install_cfg.ini";

bool ReadText(const fs::path& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *text = s.str();
  return true;
}

bool SameContent(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::file_size(a, ec) != fs::file_size(b, ec) || ec) return false;
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  std::vector<char> p(1 << 16), q(1 << 16);
  while (x && y) {
    x.read(p.data(), p.size());
    y.read(q.data(), q.size());
    if (x.gcount() != y.gcount() || !std::equal(p.begin(), p.begin() + x.gcount(), q.begin())) return false;
  }
  return x.eof() && y.eof();
}

// The path below the release folder that a URL of the publication names.
bool UrlPath(const std::string& url, std::string* path) {
  size_t scheme = url.find("://");
  size_t slash = scheme == std::string::npos ? scheme : url.find('/', scheme + 3);
  if (slash == std::string::npos) return false;
  *path = url.substr(slash + 1, url.find_first_of("?#", slash) - slash - 1);
  return !path->empty() && path->find("..") == std::string::npos;
}

std::string Quote(const std::string& text) {
  if (text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+=:,@") ==
      std::string::npos)
    return text;
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// "cp" to a name beside the target, then "mv": the web server serves either
// the old file or the whole new one.
std::string Replace(const fs::path& stage, const fs::path& live, const std::string& relative) {
  const std::string to = (live / relative).string();
  return "cp " + Quote((stage / relative).string()) + " " + Quote(to + ".new") + " && mv " + Quote(to + ".new") +
         " " + Quote(to);
}

// Copies the release tree: hard links where possible, copies otherwise.
bool CopyTree(const fs::path& from, const fs::path& to, std::string* error) {
  std::error_code ec;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::create_hard_links, ec);
  if (ec) {
    fs::remove_all(to, ec);
    fs::copy(from, to, fs::copy_options::recursive, ec);
  }
  if (ec) *error = ec.message();
  return !ec;
}

}  // namespace

int StageRelease(const StageOptions& options, std::FILE* out) {
  auto fail = [&](const std::string& text) {
    std::fprintf(out, "error: %s\nnothing was published; the live release %s is unchanged\n", text.c_str(),
                 options.live.c_str());
    return 1;
  };
  const fs::path live(options.live), stage(options.stage);
  std::string configText;
  if (!ReadText(live / kConfig, &configText)) return fail("no configuration at " + (live / kConfig).string());
  IniFile ini(configText.substr(0, configText.find('\0')));
  if (!ini.error.empty()) return fail("the live configuration does not parse: " + ini.error);
  std::error_code ec;
  if (fs::exists(stage, ec)) return fail(options.stage + " exists already: the stage is always a new folder");
  if (!fs::is_regular_file(options.package, ec)) return fail("no package at " + options.package);
  const bool signedLive = fs::exists(live / (std::string(kConfig) + ".sig"), ec);
  if (signedLive && options.signKey.empty())
    return fail("the live release is signed: give --sign publisher.key, the key its launchers were built with");

  // The version files and package names of every platform's view.
  std::vector<std::string> views = {"common"};
  for (const auto& s : ini.sections)
    if (s.first != "common") views.push_back(s.first);
  auto get = [&](const std::string& view, const std::string& key) {
    std::string value = ini.Get(view, key, "");
    return value.empty() ? ini.Get("common", key, "") : value;
  };
  std::set<std::string> versionFiles, pkgTemplates;
  int32_t liveVersion = 0;
  for (const std::string& view : views) {
    std::string path, body;
    if (!UrlPath(get(view, "minverUrl"), &path) || !ReadText(live / path, &body))
      return fail("[" + view + "]: minverUrl names no file of the live release");
    int32_t v = ReadVersionNumber(body);
    if (view == "common" || v > liveVersion) liveVersion = v;
    versionFiles.insert(path);
    if (!get(view, "pkgUrl").empty()) pkgTemplates.insert(get(view, "pkgUrl"));
  }
  const int32_t version = options.version ? options.version : liveVersion + 1;
  if (version <= liveVersion)
    return fail("version " + std::to_string(version) + " is not above the live " + std::to_string(liveVersion) +
                ": launchers download only a higher version than the one installed");
  std::set<std::string> packages;
  for (const std::string& pkgUrl : pkgTemplates) {
    std::string url, error, path;
    if (!FormatPackageUrl(pkgUrl, version, url, error) || !UrlPath(url, &path)) return fail("pkgUrl " + pkgUrl + ": " + error);
    // A file the live release already serves under the new name may be
    // downloading right now: it is never replaced by another one.
    if (fs::exists(live / path, ec) && !SameContent(live / path, options.package))
      return fail("the live release already serves a different " + path + ": choose another --version");
    packages.insert(path);
  }

  std::string error;
  if (!CopyTree(live, stage, &error)) return fail("cannot copy " + options.live + " to " + options.stage + ": " + error);
  for (const std::string& path : packages) {
    fs::create_directories((stage / path).parent_path(), ec);
    fs::remove(stage / path, ec);
    if (!fs::copy_file(options.package, stage / path, ec)) return fail("cannot copy the package: " + ec.message());
  }
  for (const std::string& path : versionFiles) {
    // Replaced, not written through: the file may be a hard link to the live one.
    fs::remove(stage / path, ec);
    std::ofstream(stage / path, std::ios::binary) << version << "\n";
  }
  if (!signedLive && options.signKey.empty()) fs::remove(stage / (std::string(kConfig) + ".sig"), ec);

  CheckOptions check;
  check.folder = options.stage;
  check.write = true;
  check.signKey = options.signKey;
  int errors = 0;
  for (const Finding& f : CheckPublication(check)) {
    const char* tag = f.kind == Finding::kOk ? "ok" : f.kind == Finding::kNote ? "note" : "error";
    std::fprintf(out, "%s: %s\n", tag, f.text.c_str());
    if (f.kind == Finding::kError) ++errors;
  }
  if (errors) {
    std::fprintf(out, "%d problem(s) in the stage %s: nothing was published; fix them there and run "
                      "publish-check --write --sign KEY %s, or remove the stage and stage again\n",
                 errors, options.stage.c_str(), options.stage.c_str());
    return 1;
  }

  // What changed: new files first, then what names them.
  std::vector<std::string> first, last;
  std::set<std::string> namers = versionFiles;
  namers.insert(kConfig);
  namers.insert(std::string(kConfig) + ".sig");
  for (auto it = fs::recursive_directory_iterator(stage); it != fs::recursive_directory_iterator(); ++it) {
    if (!it->is_regular_file()) continue;
    std::string relative = fs::relative(it->path(), stage).generic_string();
    if (fs::exists(live / relative, ec) && SameContent(live / relative, it->path())) continue;
    (namers.count(relative) ? last : first).push_back(relative);
  }
  // The configuration and its signature first, the version file last: a
  // launcher reads them in that order.
  std::stable_sort(last.begin(), last.end(), [](const std::string& a, const std::string& b) {
    auto rank = [](const std::string& f) { return f == kConfig ? 0 : f == std::string(kConfig) + ".sig" ? 1 : 2; };
    return rank(a) < rank(b);
  });
  std::fprintf(out, "\nrelease %d is ready in %s. Publish it in this order:\n", version, options.stage.c_str());
  std::fprintf(out, "1. the new files, which no served configuration names yet:\n");
  for (const std::string& f : first) std::fprintf(out, "  $ %s\n", Replace(stage, live, f).c_str());
  std::fprintf(out, "2. once they are complete, the configuration, its signature and the version file, one "
                    "right after the other (each file is replaced whole):\n");
  std::string together;
  for (const std::string& f : last) {
    const std::string to = (live / f).string();
    std::fprintf(out, "  $ cp %s %s\n", Quote((stage / f).string()).c_str(), Quote(to + ".new").c_str());
    together += (together.empty() ? "" : " && ") + ("mv " + Quote(to + ".new") + " " + Quote(to));
  }
  std::fprintf(out, "  $ %s\n", together.c_str());
  std::fprintf(out, "Keep the files of release %d served: players who are downloading its package finish from "
                    "it. Or switch everything at once, if the web root is a symbolic link to the release "
                    "folder: ln -sfn %s <root>.new && mv -T <root>.new <root>\n",
               liveVersion, Quote(fs::absolute(stage).string()).c_str());
  return 0;
}
