#pragma once
// Whether an existing folder is this user's own: owned by the user and
// writable by no other account. Another account on a shared PC (or whoever
// prepared a removable drive) can make a folder of any name; the launcher
// adopts one as its install folder only when nobody else can change it.
#include <windows.h>

#include <string>

// Empty when the descriptor's owner is `user` and its DACL lets no other
// account (SYSTEM and the Administrators aside) change the folder or put
// anything into it; otherwise why not. A missing or null DACL grants everyone
// everything; an access entry of a kind not understood counts as a grant.
std::string OwnershipRefusal(PSECURITY_DESCRIPTOR descriptor, PSID user);

// The same for the folder `dir`, read with GetNamedSecurityInfoW against the
// user of this process.
std::string FolderOwnershipRefusal(const std::wstring& dir);

// Creates the folder `dir` (its parent must exist) with a protected DACL that
// gives full control to the user, SYSTEM and the Administrators only, passed
// on to everything made inside it. 0 or the Win32 error (ERROR_ALREADY_EXISTS
// when something is there).
unsigned long CreatePrivateFolder(const std::wstring& dir);
