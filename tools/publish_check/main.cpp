// publish-check: checks a publish folder before players see it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "publication.h"
#include "release_stage.h"

namespace {

const char kHelp[] = R"(usage: publish-check [options] FOLDER
       publish-check --stage NEW --package ZIP [--version N] --sign KEY LIVE

Checks a game publication the way a player's launcher will read it. FOLDER
is the web server's root: the install configuration is
FOLDER/pkg/vorn_install_cfg.ini and every URL of it that points at a file
is looked up under FOLDER by its path.

  --platform P   check only the platform P ("common" overridden by [P]);
                 default: "common" alone and every other section
  --write        fill in pkgSha256, weiduanSha256, weiduanCfgSha256 (in the
                 section that names the file's URL); write the package's
                 manifest (<package>.manifest, or pkgManifestUrl) and its
                 pkgManifestSha256, with which players' updates fetch only
                 the entries that changed
  --sign KEY     write vorn_install_cfg.ini.sig with the PEM private key KEY
                 (ECDSA P-256), after --write, then verify it
  --key KEY      verify the signature with KEY (public or private PEM);
                 a signature is always checked, with --key or --sign's key:
                 without one a signed publication is not reported ready
  --stage NEW    build the next release in the new folder NEW from the live
                 release LIVE and the package ZIP (--package): copy LIVE,
                 add ZIP under the name pkgUrl gives version N (--version,
                 default: the live version plus one), write the version
                 file, fill checksums, pkgVersion and configSerial, sign,
                 check, and print the order in which to publish it
  --help         this text

Checks: the configuration's lines (CRLF with comments, "^" in a value,
blanks around "=", a key before any section, bad file-name keys), pkgUrl's
one integer conversion, the files the launcher will fetch, their checksums
the package's entries under the launcher's zip rules and the program it
starts (<pkgName>/<pkgName>.exe), and the signature. Exit status 0 when
nothing is wrong, 1 otherwise.
)";

}  // namespace

int main(int argc, char** argv) {
  CheckOptions options;
  StageOptions stage;
  std::string version;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    if (arg == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (arg == "--write") {
      options.write = true;
    } else if ((arg == "--sign" && value(&options.signKey)) || (arg == "--key" && value(&options.verifyKey)) ||
               (arg == "--platform" && value(&options.platform)) || (arg == "--stage" && value(&stage.stage)) ||
               (arg == "--package" && value(&stage.package)) || (arg == "--version" && value(&version))) {
    } else if (!arg.empty() && arg[0] != '-' && options.folder.empty()) {
      options.folder = arg;
    } else {
      std::fprintf(stderr, "publish-check: bad argument %s (see --help)\n", arg.c_str());
      return 2;
    }
  }
  if (options.folder.empty()) {
    std::fputs(kHelp, stderr);
    return 2;
  }
  if (!stage.stage.empty()) {
    char* end = nullptr;
    long number = version.empty() ? 0 : std::strtol(version.c_str(), &end, 10);
    if (stage.package.empty() || (!version.empty() && (*end || number < 1 || number > 2147483647L))) {
      std::fputs("publish-check: --stage needs --package ZIP (and --version a positive number)\n", stderr);
      return 2;
    }
    stage.live = options.folder;
    stage.signKey = options.signKey;
    stage.version = static_cast<int32_t>(number);
    return StageRelease(stage, stdout);
  }
  int errors = 0;
  for (const Finding& f : CheckPublication(options)) {
    const char* tag = f.kind == Finding::kOk ? "ok" : f.kind == Finding::kNote ? "note" : "error";
    std::printf("%s: %s\n", tag, f.text.c_str());
    if (f.kind == Finding::kError) ++errors;
  }
  if (errors)
    std::printf("%d problem(s): players would meet them; each error above names its fix\n", errors);
  else
    std::printf("the publication is ready\n");
  return errors ? 1 : 0;
}
