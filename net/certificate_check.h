#pragma once
// What the system's chain engine says of a server certificate that WinHTTP
// handed over, read from the chain's own trust status.
#include <windows.h>
#include <wincrypt.h>

// Whether the chain engine knows `cert` to be revoked, from what it has
// already fetched (no network access).
bool KnownRevoked(PCCERT_CONTEXT cert);
