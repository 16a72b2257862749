// publish-check: checks a publish folder before players see it.
#include <cstdio>
#include <cstring>
#include <string>

#include "publication.h"

namespace {

const char kHelp[] = R"(usage: publish-check [options] FOLDER

Checks a game publication the way a player's launcher will read it. FOLDER
is the web server's root: the install configuration is
FOLDER/pkg/vorn_install_cfg.ini and every URL of it that points at a file
is looked up under FOLDER by its path.

  --platform P   check only the platform P ("common" overridden by [P]);
                 default: "common" alone and every other section
  --write        fill in pkgSha256, weiduanSha256, weiduanCfgSha256 (in the
                 section that names the file's URL)
  --sign KEY     write vorn_install_cfg.ini.sig with the PEM private key KEY
                 (ECDSA P-256), after --write, then verify it
  --key KEY      verify the signature with KEY (public or private PEM)
  --help         this text

Checks: the configuration's lines (CRLF with comments, "^" in a value,
blanks around "=", a key before any section, bad file-name keys), pkgUrl's
one integer conversion, the files the launcher will fetch, their checksums
and the signature. Exit status 0 when nothing is wrong, 1 otherwise.
)";

}  // namespace

int main(int argc, char** argv) {
  CheckOptions options;
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
               (arg == "--platform" && value(&options.platform))) {
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
  int errors = 0;
  for (const Finding& f : CheckPublication(options)) {
    const char* tag = f.kind == Finding::kOk ? "ok" : f.kind == Finding::kNote ? "note" : "error";
    std::printf("%s: %s\n", tag, f.text.c_str());
    if (f.kind == Finding::kError) ++errors;
  }
  std::printf(errors ? "%d problem(s): players would meet them\n" : "the publication is ready\n", errors);
  return errors ? 1 : 0;
}
