#pragma once
// What the system's chain engine says of a server certificate that WinHTTP
// handed over: read from the chain's own trust status, so that it does not
// rest on the SSL policy call alone.
#include <windows.h>
#include <wincrypt.h>

#include <string>

// Whether the chain engine knows `cert` to be revoked, from what it has
// already fetched (no network access).
bool KnownRevoked(PCCERT_CONTEXT cert);

// Why the chain engine refuses `cert` for a server named `host`, in the
// launcher's words ("issuer not trusted", "certificate names another host",
// ...); empty when it finds no fault. Revocation is not asked.
std::string CertificateFault(PCCERT_CONTEXT cert, const std::wstring& host);
