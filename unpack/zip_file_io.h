#pragma once
// minizip's file functions for reading an archive through the Win32 wide API,
// with the archive's small reads answered from a ReadWindowCache.
// unzip.h first: it brings zlib, which ioapi.h relies on.
#include "unzip.h"

// The file name handed to unzOpen2_64 must be a wide (wchar_t) path; the file
// is opened for reading and shared with readers only.
void FillCachedWin32FileFunc(zlib_filefunc64_def* io);

// The same over a file that the caller holds open: the "file name" handed to
// unzOpen2_64 is that HANDLE, which each open reopens (ReOpenFile) as a
// reader of its own of the very same file, shared with readers only.
void FillCachedHeldFileFunc(zlib_filefunc64_def* io);
