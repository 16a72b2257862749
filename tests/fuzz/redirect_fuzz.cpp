// A redirect's "Location" comes from the server. Whatever it holds, a
// followed redirect never leaves https for plain http, never names an empty
// host or an unusable port, and never puts a control character or space into
// the next request.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "net/transport.h"

namespace {

bool Clean(const std::string& text) {
  for (unsigned char c : text)
    if (c <= 0x20 || c == 0x7f) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const char* origin : {"https://a.example:8443/dir/file.zip?q=1", "http://b.example/x"}) {
    HttpUrl from;
    FUZZ_CHECK(ParseHttpUrl(origin, from), origin);
    HttpUrl to;
    bool downgrade = false;
    bool ok = ResolveRedirect(from, text, to, downgrade);
    FUZZ_CHECK(!(ok && downgrade), "followed and refused at once: " + fuzz::Shown(text));
    if (downgrade) FUZZ_CHECK(from.secure, "downgrade from http: " + fuzz::Shown(text));
    if (!ok) continue;
    if (from.secure) FUZZ_CHECK(to.secure, "https left for http: " + fuzz::Shown(text));
    FUZZ_CHECK(!to.host.empty(), "empty host from " + fuzz::Shown(text));
    FUZZ_CHECK(to.port >= 0 && to.port <= 65535, "port from " + fuzz::Shown(text));
    FUZZ_CHECK(Clean(to.host) && Clean(to.path), "unclean request from " + fuzz::Shown(text));
    FUZZ_CHECK(!to.path.empty(), "empty path from " + fuzz::Shown(text));
  }

  return 0;
}
