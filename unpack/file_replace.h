#pragma once
// Putting a completely written file in place of another: the last step of
// every file an unpacking or an update writes beside its target first.
#include <string>

// The suffix of the file written beside its target ("<target>.unpacking").
extern const wchar_t kPartSuffix[];

// Removes a part file, read-only or not; nothing when it is not there.
void RemovePartFile(const std::wstring& partApi);

// Moves `partApi` over `targetApi` (both in the form for file APIs), which
// may exist, read-only too: such a file is made writable for the replace and
// gets its attributes back should the move fail. On failure the part file is
// removed and `error` says why.
bool ReplaceWithPart(const std::wstring& partApi, const std::wstring& targetApi, std::string* error);
