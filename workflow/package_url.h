#pragma once
// The package URL comes from the server's configuration as a printf-style
// pattern that receives the server's version number. Free of windows.h.
#include <cstdint>
#include <string>

// Longest URL accepted, terminating zero included (the size of the buffer the
// URL has always been formatted into).
constexpr size_t kPackageUrlBufferSize = 1024;

// Formats `pattern` with `version`. The pattern must hold exactly one integer
// conversion ("%d" or "%i", optionally with the flags "-+ 0", a width and a
// precision) and may hold "%%" for a literal percent sign; nothing else after
// a "%" is accepted, and the result must fit kPackageUrlBufferSize with its
// terminating zero. On success fills `out` and returns true; otherwise fills
// `error` with a readable reason and leaves `out` empty.
bool FormatPackageUrl(const std::string& pattern, int32_t version, std::string& out,
                      std::string& error);

// The package manifest's URL for `version`: `manifestPattern` (pkgManifestUrl)
// formatted like the package URL when it is set, else the package URL
// (`packagePattern`, pkgUrl) formatted and followed by ".manifest". The
// errors are FormatPackageUrl's, naming the pattern that failed.
bool FormatManifestUrl(const std::string& manifestPattern, const std::string& packagePattern, int32_t version,
                       std::string& out, std::string& error);
