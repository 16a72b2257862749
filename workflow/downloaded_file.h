#pragma once
// The micro-client's files arrive under a temporary name beside their place
// and replace the installed file only once complete and, when the
// configuration names one, with the published SHA-256. An interrupted or
// wrong download thus never leaves a broken shell behind the shortcut.
#include <cstdint>
#include <string>

// Where `path` is downloaded to: `path` + ".downloading".
std::wstring DownloadingPath(const std::wstring& path);

// True when the file at `path` has the SHA-256 `expectedSha256` (64
// lower-case hex digits). Otherwise `error` says why: "checksum mismatch,
// expected <hex>, got <hex>, url: <url>" or "checksum not computed: ...".
// Either outcome is logged. The file is left as it is.
bool FileHasSha256(const std::wstring& path, const std::string& expectedSha256, const std::string& url,
                   std::string* error);

// Checks the complete download at `tempPath` against `expectedSha256` (64
// lower-case hex digits; no check when empty) and moves it over `path`.
// On failure the temporary file is removed, `path` is left as it was and
// `error` says why: "checksum mismatch, expected <hex>, got <hex>, url: <url>",
// or a failed replace, whose Win32 error goes to `errorCode` (32 when the
// installed file is in use).
bool PlaceDownloadedFile(const std::wstring& tempPath, const std::wstring& path,
                         const std::string& expectedSha256, const std::string& url, std::string* error,
                         uint32_t* errorCode);
