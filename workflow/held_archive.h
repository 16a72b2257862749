#pragma once
// The downloaded package, held open from its hashing to its unpacking:
// readers may share it, nobody may write, rename or delete it meanwhile, so
// the bytes that were checked are the bytes that are unpacked.
#include <memory>
#include <string>

#include "base/handles.h"

using HeldArchive = std::shared_ptr<base::UniqueFile>;

// Opens `path` for reading, denying writers and deletion; the owner inside
// is empty (and the system's error is logged) when it cannot be opened.
HeldArchive HoldArchive(const std::wstring& path);
