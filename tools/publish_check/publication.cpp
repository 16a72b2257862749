#include "publication.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <codecvt>
#include <ctime>
#include <fstream>
#include <locale>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "base/digest_text.h"
#include "base/file_name_rules.h"
#include "base/ecdsa_encoding.h"
#include "workflow/checksum_keys.h"
#include "workflow/ini_file.h"
#include "workflow/package_url.h"
#include "workflow/signed_config.h"
#include "workflow/version_number.h"
#include "manifest_builder.h"
#include "package_layout.h"

namespace {

const char kConfigName[] = "vorn_install_cfg.ini";

// Findings in order, each once: a value of [common] is seen by every
// platform's view, but it is one problem, reported at its own line.
class Report {
 public:
  explicit Report(std::vector<Finding>& out) : out_(out) {}
  void Ok(const std::string& text) { Add(Finding::kOk, text); }
  void Note(const std::string& text) { Add(Finding::kNote, text); }
  void Error(const std::string& text) { Add(Finding::kError, text); }
  void AtLine(int line, const std::string& text) { Error(std::string(kConfigName) + ":" + std::to_string(line) + ": " + text); }

 private:
  void Add(Finding::Kind kind, const std::string& text) {
    if (seen_.insert(text).second) out_.push_back({kind, text});
  }
  std::vector<Finding>& out_;
  std::set<std::string> seen_;
};

bool ReadFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *bytes = s.str();
  return true;
}

// Through a new file renamed over the old one: a web server never serves a
// half-written configuration, and a file hard-linked into another release
// folder keeps its content there.
bool WriteFile(const std::string& path, const std::string& bytes) {
  const std::string temp = path + ".publish-check.tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.flush();
    if (!out) {
      std::remove(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t lf; (lf = text.find('\n', start)) != std::string::npos; start = lf + 1)
    lines.push_back(text.substr(start, lf - start));
  lines.push_back(text.substr(start));
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
  return text;
}

// Why the launcher's parser refused one line, in an operator's words.
std::string Trap(const std::string& line, const std::string& parserError) {
  if (parserError.rfind("must start with section", 0) == 0) return "a key before any [section] header";
  if (!line.empty() && line.back() == '\r' && line.find(';') != std::string::npos)
    return "a comment in a file with CRLF line ends (save it with LF line ends, or drop the comment)";
  if (line.find('^') != std::string::npos) return "\"^\" in a value";
  // ([\s\S] rather than ".", which stops at the CR of a CRLF line.)
  static const std::regex blanks(R"(^\s*[\w.-]+\s+=[\s\S]*|^\s*[\w.-]+=\s[\s\S]*)");
  if (std::regex_match(line, blanks)) return "blanks around \"=\"";
  if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) return "blank before a header or key";
  return "not a [section], key=value or ; comment line";
}

// A file or folder name the launcher joins to its install folder. The
// launcher's own rule decides; the text only tells the operator why.
std::string BadFileName(const std::string& name) {
  std::wstring wide;
  try {
    wide = std::wstring_convert<std::codecvt_utf8<wchar_t>>().from_bytes(name);
  } catch (const std::range_error&) {
    return "not UTF-8 text";
  }
  if (base::IsPlainFileName(wide)) return "";
  if (name.find_first_of("\\/:*?\"<>|") != std::string::npos) return "a path or a character Windows refuses";
  for (unsigned char c : name)
    if (c < 0x20) return "a control character";
  if (name == "." || name == "..") return "a relative folder";
  if (name.back() == '.' || name.back() == ' ') return "a trailing dot or blank (Windows drops it)";
  return "a device name Windows reserves, or not one plain file name";
}

// The file under the publish folder that a URL of this publication names.
bool UrlToFile(const std::string& url, const std::string& folder, std::string* file) {
  size_t scheme = url.find("://");
  if (scheme == std::string::npos) return false;
  size_t slash = url.find('/', scheme + 3);
  if (slash == std::string::npos) return false;
  std::string path = url.substr(slash, url.find_first_of("?#", slash) - slash);
  if (path.find("/../") != std::string::npos || path.size() < 2) return false;
  *file = folder + path;
  return true;
}

bool Sha256OfFile(const std::string& path, std::string* hex) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return false;
  std::vector<char> block(1 << 20);
  while (in) {
    in.read(block.data(), block.size());
    if (in.gcount() > 0) EVP_DigestUpdate(ctx.get(), block.data(), static_cast<size_t>(in.gcount()));
  }
  Sha256Digest digest;
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(ctx.get(), digest.data(), &size) != 1 || size != digest.size()) return false;
  *hex = Sha256Text(digest);
  return true;
}

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

// A PEM private or public key on P-256.
Key LoadKey(const std::string& path, bool wantPrivate, std::string* error) {
  Key key(nullptr, EVP_PKEY_free);
  std::string pem;
  if (!ReadFile(path, &pem)) {
    *error = "cannot read " + path;
    return key;
  }
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), BIO_free);
  key.reset(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
  if (!key && !wantPrivate) {
    bio.reset(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    key.reset(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
  }
  if (!key) {
    *error = path + " is not a PEM " + (wantPrivate ? "private key" : "key");
    return key;
  }
  char group[64] = {};
  if (EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_EC ||
      EVP_PKEY_get_group_name(key.get(), group, sizeof group, nullptr) != 1 || std::string(group) != "prime256v1") {
    *error = path + " is not an ECDSA P-256 (prime256v1) key";
    key.reset();
  }
  return key;
}

std::string PublicPem(EVP_PKEY* key) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
  PEM_write_bio_PUBKEY(bio.get(), key);
  char* data = nullptr;
  long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<size_t>(size));
}

bool Sign(EVP_PKEY* key, const std::string& data, std::string* signature) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  size_t size = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  if (EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key) != 1 ||
      EVP_DigestSign(ctx.get(), nullptr, &size, bytes, data.size()) != 1)
    return false;
  signature->assign(size, '\0');
  if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(&(*signature)[0]), &size, bytes, data.size()) != 1)
    return false;
  signature->resize(size);
  return true;
}

bool Verify(EVP_PKEY* key, const std::string& data, const std::string& signature) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  return EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key) == 1 &&
         EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                          reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
}

// Sets `key` in `section`, replacing its line or adding one after the header.
void SetKey(std::vector<std::string>& lines, const std::string& section, const std::string& key,
            const std::string& value) {
  auto trimmed = [](std::string s) {
    while (!s.empty() && isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
    return s;
  };
  size_t header = lines.size();
  for (size_t i = 0; i < lines.size(); ++i)
    if (trimmed(lines[i]) == "[" + section + "]") header = i;
  if (header == lines.size()) {
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    lines.push_back("[" + section + "]");
    lines.push_back(key + "=" + value);
    lines.push_back("");
    return;
  }
  const std::string cr = (!lines[header].empty() && lines[header].back() == '\r') ? "\r" : "";
  size_t end = header + 1;
  for (; end < lines.size() && lines[end].rfind("[", 0) != 0; ++end) {
    if (lines[end].rfind(key + "=", 0) == 0) {
      lines[end] = key + "=" + value + cr;
      return;
    }
  }
  // After the section's last line that is not blank.
  while (end > header + 1 && trimmed(lines[end - 1]).empty()) --end;
  lines.insert(lines.begin() + static_cast<long>(end), key + "=" + value + cr);
}

// One platform's view of the configuration: "common", overridden key by key.
struct View {
  const IniFile& ini;
  std::string platform;
  std::string Get(const std::string& key) const {
    std::string value = platform.empty() ? "" : ini.Get(platform, key, "");
    return value.empty() ? ini.Get("common", key, "") : value;
  }
  std::string From(const std::string& key) const {
    return !platform.empty() && !ini.Get(platform, key, "").empty() ? platform : "common";
  }
};


// Where the file a URL names belongs, or what is wrong with the URL.
std::string MissingFileFix(const std::string& url, const std::string& folder) {
  std::string file;
  if (!UrlToFile(url, folder, &file)) return " (not an http(s)://host/path URL of a file)";
  return " (put the file at " + file + ", or correct the URL)";
}

// SHA-256 of the key's public half in DER (SubjectPublicKeyInfo), as
// "openssl pkey -pubin -in publisher.pem -outform DER | sha256sum" prints it
// and as the launcher's build names the key it carries.
std::string KeyFingerprint(EVP_PKEY* key) {
  unsigned char* der = nullptr;
  int size = i2d_PUBKEY(key, &der);
  if (size <= 0) return "?";
  Sha256Digest digest;
  unsigned int length = 0;
  bool ok = EVP_Digest(der, static_cast<size_t>(size), digest.data(), &length, EVP_sha256(), nullptr) == 1;
  OPENSSL_free(der);
  return ok && length == digest.size() ? Sha256Text(digest) : "?";
}

// The commands that fix a problem, spelled for this folder.
struct Fixes {
  const CheckOptions& options;
  std::string Sign() const {
    return "publish-check --write --sign " + (options.signKey.empty() ? std::string("publisher.key") : options.signKey) +
           " " + options.folder;
  }
  std::string Check() const {
    return "publish-check --key " + (options.verifyKey.empty() ? std::string("publisher.pem") : options.verifyKey) +
           " " + options.folder;
  }
};

// "<pkgName>/<pkgName>.exe" in the package, the game client the launcher starts.
void CheckPackage(Report& report, const Fixes& fix, const std::string& where, const std::string& file,
                  const std::string& shownUrl, const std::string& pkgName) {
  PackageLayout layout = ReadPackageLayout(file);
  if (!layout.openError.empty()) {
    report.Error(where + ": the package " + shownUrl + " cannot be unpacked: " + layout.openError +
                 "; the launcher would write pkg.ver and start nothing. Publish a zip of the game's folder " +
                 pkgName + " (zip -r package.zip " + pkgName + "), then " + fix.Sign());
    return;
  }
  for (const std::string& refused : layout.refused)
    report.Error(where + ": the launcher skips the entry " + refused + " of " + shownUrl);
  if (pkgName.empty()) {
    report.Error(where + ": no pkgName: the launcher does not know which program of the package to start");
    return;
  }
  const std::string program = pkgName + "/" + pkgName + ".exe";
  if (layout.HasFile(program)) {
    report.Ok(where + ": the package " + shownUrl + " holds " + program + ", the program the launcher starts");
    return;
  }
  std::string found;
  for (const std::string& name : layout.topLevel) found += (found.empty() ? "" : ", ") + name;
  report.Error(where + ": the package " + shownUrl + " has no " + program +
               ": the launcher unpacks it into the install folder and starts <install folder>\\" + pkgName + "\\" +
               pkgName + ".exe. At the top of the zip: " + found + ". Fix: put the game's files in a folder " +
               pkgName + " and zip that folder (cd <folder that holds " + pkgName + "> && zip -r <package> " +
               pkgName + "), then " + fix.Sign() +
               ". Players who already installed this version keep it: publish the corrected package as a new "
               "version (publish-check --stage).");
}

}  // namespace

std::vector<Finding> CheckPublication(const CheckOptions& options) {
  std::vector<Finding> findings;
  Report report(findings);
  const Fixes fix{options};
  const std::string configPath = options.folder + "/pkg/" + kConfigName;
  std::string text;
  if (!ReadFile(configPath, &text)) {
    report.Error("no configuration at " + configPath);
    return findings;
  }
  std::vector<std::string> lines = SplitLines(text);

  // Every line on its own, so that all traps are named, not only the first.
  std::map<std::pair<std::string, std::string>, int> keyLines;
  std::string section;
  int traps = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    IniFile probe;
    probe.currentSection = section;
    if (!probe.ParseLine(lines[i])) {
      report.AtLine(static_cast<int>(i + 1), Trap(lines[i], probe.error));
      ++traps;
      continue;
    }
    section = probe.currentSection;
    if (lines[i].rfind("pkgKeepLocal=", 0) == 0 && lines[i].find(';') != std::string::npos)
      report.AtLine(static_cast<int>(i + 1), "pkgKeepLocal: \";\" starts a comment, the launcher reads only the patterns "
                                             "before it; separate patterns with \",\"");
    for (const auto& s : probe.sections)
      for (const auto& kv : s.second) keyLines[{s.first, kv.first}] = static_cast<int>(i + 1);
  }
  IniFile ini(text.substr(0, text.find('\0')));
  if (!ini.error.empty()) {
    report.Error("the launcher refuses this configuration: " + ini.error);
    return findings;
  }
  if (text.find('\0') != std::string::npos) report.Error("a zero byte: the launcher reads the text only up to it");
  if (traps == 0) report.Ok("the configuration parses under the launcher's rules");

  std::vector<std::string> platforms;
  if (!options.platform.empty()) {
    platforms.push_back(options.platform);
  } else {
    platforms.push_back("");
    for (const auto& s : ini.sections)
      if (s.first != "common") platforms.push_back(s.first);
  }

  bool changed = false;
  // Each package's manifest is built once (package file -> text, or why not).
  std::map<std::string, std::pair<std::string, std::string>> manifests;
  for (const std::string& platform : platforms) {
    const std::string view_name = platform.empty() ? "[common]" : "[" + platform + "]";
    View view{ini, platform};
    // A finding about a value is told under the section the value comes from.
    auto in = [&](const std::string& key) { return "[" + view.From(key) + "]"; };
    ChecksumKeys sums;
    std::string error;
    if (!ReadChecksumKeys(ini, platform.empty() ? "common" : platform, &sums, &error)) {
      std::string key = error.substr(4, error.find(':') - 4);
      report.AtLine(keyLines[{view.From(key), key}], error + " (64 hex digits; " + fix.Sign() + " fills it in)");
      continue;
    }
    for (const char* key : {"installName", "pkgName", "weiduanShell", "weiduanCfg", "weiduanName"}) {
      std::string value = view.Get(key);
      if (value.empty()) continue;
      std::string why = BadFileName(value);
      if (!why.empty()) report.AtLine(keyLines[{view.From(key), key}], std::string("bad ") + key + ": " + value + ": " + why);
    }

    // The files a launcher of this platform will fetch, and their checksums.
    struct Fetched {
      const char* urlKey;
      const char* sumKey;  // nullptr: no checksum key
      std::string url;
    };
    std::vector<Fetched> fetched;
    std::string minverUrl = view.Get("minverUrl");
    int32_t version = 0;
    bool haveVersion = false;
    if (minverUrl.empty()) {
      report.Error(view_name + ": no minverUrl");
    } else {
      std::string file, body;
      if (UrlToFile(minverUrl, options.folder, &file) && ReadFile(file, &body)) {
        version = ReadVersionNumber(body);
        haveVersion = true;
        report.Ok(in("minverUrl") + ": package version " + std::to_string(version) + " from " + minverUrl);
      } else {
        report.AtLine(keyLines[{view.From("minverUrl"), "minverUrl"}],
                      "minverUrl names no file of the publication: " + minverUrl + MissingFileFix(minverUrl, options.folder));
      }
    }
    std::string pkgUrl = view.Get("pkgUrl");
    std::string packageUrl;
    if (!pkgUrl.empty() && !FormatPackageUrl(pkgUrl, version, packageUrl, error)) {
      report.AtLine(keyLines[{view.From("pkgUrl"), "pkgUrl"}], error);
    } else if (!pkgUrl.empty()) {
      fetched.push_back({"pkgUrl", "pkgSha256", packageUrl});
      std::string file;
      // Told under the section that makes this package differ from
      // [common]'s: its own pkgName, else its own pkgUrl.
      const std::string packageSection = in(view.From("pkgName") == "common" ? "pkgUrl" : "pkgName");
      if (UrlToFile(packageUrl, options.folder, &file) && std::ifstream(file).good())
        CheckPackage(report, fix, packageSection, file, packageUrl, view.Get("pkgName"));
    } else {
      report.Error(view_name + ": no pkgUrl");
    }
    if (view.Get("weiduanShortcut") == "1" || !view.Get("weiduanUrl").empty()) {
      fetched.push_back({"weiduanUrl", "weiduanSha256", view.Get("weiduanUrl")});
      fetched.push_back({"weiduanCfgUrl", "weiduanCfgSha256", view.Get("weiduanCfgUrl")});
      if (view.Get("weiduanShortcut") == "1" && view.Get("weiduanShell").empty())
        report.Error(view_name + ": weiduanShortcut=1 without weiduanShell: the launcher has no micro-client "
                                 "program to start (name the file weiduanUrl downloads)");
    }
    if (!view.Get("launcherLogo").empty())
      fetched.push_back({"launcherLogo", "launcherLogoSha256", view.Get("launcherLogo")});

    for (const Fetched& f : fetched) {
      std::string file, sum;
      if (f.url.empty() || !UrlToFile(f.url, options.folder, &file) || !Sha256OfFile(file, &sum)) {
        if (f.url.empty())
          report.Error(in(f.urlKey) + ": no " + f.urlKey + ": the launcher has nothing to fetch it from");
        else
          report.AtLine(keyLines[{view.From(f.urlKey), f.urlKey}],
                        std::string(f.urlKey) + " names no file of the publication: " + f.url + MissingFileFix(f.url, options.folder));
        continue;
      }
      if (!f.sumKey) {
        report.Ok(in(f.urlKey) + ": " + f.urlKey + " " + f.url);
        continue;
      }
      const std::map<std::string, const std::string*> sumOf = {
          {"pkgSha256", &sums.pkgSha256},
          {"weiduanSha256", &sums.weiduanSha256},
          {"weiduanCfgSha256", &sums.weiduanCfgSha256},
          {"launcherLogoSha256", &sums.launcherLogoSha256},
          {"pkgManifestSha256", &sums.pkgManifestSha256}};
      const std::string& expected = *sumOf.at(f.sumKey);
      if (expected == sum) {
        report.Ok(in(f.sumKey) + ": " + f.sumKey + " matches " + f.url);
      } else if (options.write) {
        // Into the section that names the URL, so that it is the checksum
        // this view reads.
        SetKey(lines, view.From(f.urlKey), f.sumKey, sum);
        changed = true;
        report.Ok(in(f.urlKey) + ": " + f.sumKey + "=" + sum + " written for " + f.url);
      } else if (expected.empty()) {
        report.Note(in(f.urlKey) + ": no " + f.sumKey + ": launchers will not check " + f.url + " (" + fix.Sign() +
                    " fills it in)");
      } else {
        report.AtLine(keyLines[{view.From(f.sumKey), f.sumKey}],
                      std::string(f.sumKey) + " does not match " + f.url + ": the file has " + sum +
                          "; if the file is the one to publish, " + fix.Sign() +
                          " (a new version: publish-check --stage)");
      }
    }
    // The package manifest beside the package: with it and
    // pkgManifestSha256 an update fetches only the entries that changed.
    std::string packageFile;
    if (!packageUrl.empty() && UrlToFile(packageUrl, options.folder, &packageFile) && std::ifstream(packageFile).good()) {
      const char* urlKey = view.Get("pkgManifestUrl").empty() ? "pkgUrl" : "pkgManifestUrl";
      std::string manifestUrl, manifestFile, onDisk;
      if (!FormatManifestUrl(view.Get("pkgManifestUrl"), pkgUrl, version, manifestUrl, error)) {
        report.AtLine(keyLines[{view.From("pkgManifestUrl"), "pkgManifestUrl"}], error);
      } else if (!UrlToFile(manifestUrl, options.folder, &manifestFile)) {
        report.AtLine(keyLines[{view.From(urlKey), urlKey}], "the manifest URL " + manifestUrl + " names no file" +
                                                                  MissingFileFix(manifestUrl, options.folder));
      } else {
        auto cached = manifests.find(packageFile);
        if (cached == manifests.end()) {
          PackageManifest manifest;
          std::string why;
          std::string built = BuildPackageManifest(packageFile, &manifest, &why) ? FormatManifest(manifest) : "";
          cached = manifests.emplace(packageFile, std::make_pair(built, why)).first;
        }
        const std::string& built = cached->second.first;
        const bool present = ReadFile(manifestFile, &onDisk);
        const bool wanted = options.write || present || !sums.pkgManifestSha256.empty();
        if (built.empty() && wanted) {
          report.Error(in(urlKey) + ": no manifest can be written for " + packageUrl + ": " + cached->second.second +
                       "; players update it by the whole package");
        } else if (!wanted) {
          report.Note(in(urlKey) + ": no manifest " + manifestUrl + ": players update by the whole package (" +
                      fix.Sign() + " writes it)");
        } else if (onDisk != built && options.write) {
          if (WriteFile(manifestFile, built)) {
            onDisk = built;
            report.Ok(in(urlKey) + ": manifest written to " + manifestFile + " for " + packageUrl);
          } else {
            report.Error("cannot write " + manifestFile);
          }
        } else if (!present) {
          report.Error(in(urlKey) + ": pkgManifestSha256 is set but there is no manifest " + manifestUrl +
                       ": launchers cannot update by entries (" + fix.Sign() + " writes it)");
        } else if (onDisk != built) {
          report.Error(in(urlKey) + ": the manifest " + manifestUrl + " does not match " + packageUrl +
                       ": launchers would fetch wrong bytes and fail the update (" + fix.Sign() + " writes it again)");
        }
        std::string sum;
        if (!built.empty() && onDisk == built && Sha256OfFile(manifestFile, &sum)) {
          if (sum == sums.pkgManifestSha256) {
            report.Ok(in("pkgManifestSha256") + ": pkgManifestSha256 matches " + manifestUrl);
          } else if (options.write) {
            SetKey(lines, view.From(urlKey), "pkgManifestSha256", sum);
            changed = true;
            report.Ok(in(urlKey) + ": pkgManifestSha256=" + sum + " written for " + manifestUrl);
          } else if (sums.pkgManifestSha256.empty()) {
            report.Note(in(urlKey) + ": no pkgManifestSha256: players update by the whole package (" + fix.Sign() +
                        " fills it in)");
          } else {
            report.AtLine(keyLines[{view.From("pkgManifestSha256"), "pkgManifestSha256"}],
                          "pkgManifestSha256 does not match " + manifestUrl + ": the file has " + sum + "; " +
                              fix.Sign() + " fills it in");
          }
        }
      }
    }

    // The version answer a launcher with the publisher key accepts is the
    // signed one: the version file and pkgVersion must agree.
    std::string signedVersion = view.Get("pkgVersion");
    if (haveVersion && signedVersion != std::to_string(version)) {
      if (options.write) {
        const std::string target = view.From(signedVersion.empty() ? "minverUrl" : "pkgVersion");
        SetKey(lines, target, "pkgVersion", std::to_string(version));
        changed = true;
        report.Ok("[" + target + "]: pkgVersion=" + std::to_string(version) + " written from " + minverUrl);
      } else if (!signedVersion.empty()) {
        report.AtLine(keyLines[{view.From("pkgVersion"), "pkgVersion"}],
                      "pkgVersion " + signedVersion + " differs from the version file's " + std::to_string(version) +
                          ": launchers with the publisher key refuse the version answer. A new version is published "
                          "with publish-check --stage (the version file goes live last, with the configuration); to "
                          "sign the version file's number as it is: " + fix.Sign());
      }
    } else if (haveVersion) {
      report.Ok(in("pkgVersion") + ": pkgVersion " + signedVersion + " matches " + minverUrl);
    }
    for (const char* service : {"tokensvr", "qosUrl"}) {
      std::string url = view.Get(service);
      if (!url.empty()) report.Note(in(service) + ": " + service + " " + url + " is a service the operator runs");
    }
  }

  if (options.write) {
    // Every written configuration is a new one: its serial goes up, so that
    // launchers refuse the one before it from now on.
    uint64_t serial = 0;
    bool had = false;
    for (const auto& s : ini.sections) {
      uint64_t value = 0;
      auto it = s.second.find("configSerial");
      if (it != s.second.end() && ParseConfigSerial(it->second, &value) && (!had || value > serial)) {
        serial = value;
        had = true;
      }
    }
    serial = had ? serial + 1 : static_cast<uint64_t>(std::time(nullptr));
    SetKey(lines, "common", "configSerial", std::to_string(serial));
    for (const auto& s : ini.sections)
      if (s.first != "common" && s.second.count("configSerial"))
        SetKey(lines, s.first, "configSerial", std::to_string(serial));
    changed = true;
    report.Ok("configSerial=" + std::to_string(serial) + " written");
  }
  if (changed) {
    text = JoinLines(lines);
    if (!WriteFile(configPath, text)) report.Error("cannot write " + configPath);
  }

  // What a launcher with the publisher key refuses is never signed.
  const std::string sigPath = configPath + ".sig";
  std::string signature;
  const bool haveSignature = ReadFile(sigPath, &signature);
  const bool keyed = !options.signKey.empty() || !options.verifyKey.empty() || haveSignature;
  IniFile written(text.substr(0, text.find('\0')));
  int refused = 0;
  std::string commonRefusal;
  for (const std::string& platform : platforms) {
    SignedValues values;
    std::string refusal = SignedConfigRefusal(written, platform.empty() ? "common" : platform, &values);
    if (refusal.empty()) continue;
    ++refused;
    // A platform that fails for the reason [common] fails for is told once.
    if (platform.empty()) commonRefusal = refusal;
    else if (refusal == commonRefusal) continue;
    const std::string line = (platform.empty() ? "[common]" : "[" + platform + "]") +
                             ": launchers with the publisher key refuse this configuration: " + refusal;
    if (keyed)
      report.Error(line + (options.write ? "" : " (" + fix.Sign() + " fills in checksums, pkgVersion and configSerial)"));
    else
      report.Note(line);
  }

  // The signature covers the exact bytes the launcher receives.
  std::string error;
  Key key(nullptr, EVP_PKEY_free);
  // Nor is a publication with any other problem: a signature tells players'
  // launchers that it is the one to use.
  if (!options.signKey.empty()) {
    key = LoadKey(options.signKey, true, &error);
    if (!key) {
      report.Error(error);
      return findings;
    }
  }
  int problems = 0;
  for (const Finding& f : findings) problems += f.kind == Finding::kError;
  if (!options.signKey.empty() && (refused > 0 || problems > 0)) {
    report.Error("not signed: " + sigPath + " left as it was; fix the problems above and sign again");
    return findings;
  }
  if (!options.signKey.empty()) {
    if (!Sign(key.get(), text, &signature) || !WriteFile(sigPath, signature)) {
      report.Error(error.empty() ? "cannot write the signature " + sigPath : error);
      return findings;
    }
    report.Ok("signature written to " + sigPath + " with the key " + KeyFingerprint(key.get()) +
              " (SHA-256 of its public half): launchers built with that key accept it");
  } else if (!options.verifyKey.empty()) {
    key = LoadKey(options.verifyKey, false, &error);
    if (!key) {
      report.Error(error);
      return findings;
    }
  }
  const bool haveNow = ReadFile(sigPath, &signature);
  if (!key) {
    // A keyed launcher checks the signature before anything else: a present
    // signature that nobody checked is no ready publication.
    if (haveNow)
      report.Error("a signature is present, but it was not checked (no key given): launchers built with the "
                   "publisher key check it first. Check it with " + fix.Check() +
                   " (the public key the launcher was built with)");
    else
      report.Note("no signature: only launchers built without a publisher key accept this publication (" +
                  fix.Sign() + " signs it)");
    return findings;
  }
  P256PublicKey point;
  if (!ParseP256PublicKeyPem(PublicPem(key.get()), &point, &error)) report.Error("the launcher cannot use this key: " + error);
  std::array<uint8_t, 64> raw;
  if (!haveNow) {
    report.Error("no signature " + sigPath + ": launchers built with the key refuse the publication; " + fix.Sign() +
                 " signs it");
  } else if (!EcdsaDerToRaw(signature, &raw, &error)) {
    report.Error("the launcher cannot read the signature: " + error + "; " + fix.Sign() + " signs it again");
  } else if (!Verify(key.get(), text, signature)) {
    report.Error("the signature does not match the configuration under the key " + KeyFingerprint(key.get()) +
                 ": the configuration changed after signing, or another key signed it, and every launcher with "
                 "this key refuses it. Sign the configuration as it is now: " + fix.Sign());
  } else {
    report.Ok("the signature verifies under the key " + KeyFingerprint(key.get()));
  }
  return findings;
}
