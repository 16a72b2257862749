#pragma once
// The text of a GET request as it goes on the wire. Free of windows.h.
#include <string>

#include "net/transport.h"

// "GET <path> HTTP/1.1" with Host, the given headers and "Connection: close".
// Bytes of the path that may not stand in a request line (controls, space,
// non-ASCII) are percent-encoded. False, and no text, when a header name is
// not a token or a name or value holds a line break or NUL: such a header
// could add lines of its own to the request.
// Whether every header name is a token and no name or value holds a line
// break or NUL, which would let it add lines of its own to a request.
bool HeadersAreSafe(const HeaderList& headers);

bool BuildGetRequest(const HttpUrl& url, const HeaderList& headers, const std::string& agent,
                     std::string& request);
