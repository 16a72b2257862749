#pragma once
// Escaping of the values inside a statistics report; free of windows.h.
#include <string>

// `value` with every byte other than ASCII letters, digits and "-" "_" "." "~"
// "=" "/" (which base64 keys carry, and which break neither the record nor
// the URL) written as "%25" and two uppercase hex digits: percent-encoded, and its "%"
// encoded once more. The HTTP library escapes the record's own ";" as "%3B"
// on the wire but leaves "%" alone; so the statistics server, which decodes
// the query once, splits the record at its separators and then decodes each
// value, gets the value back byte for byte and can never take a value's
// ";", "}" or "#" for part of the record.
std::string EncodeQosValue(const std::string& value);
