#pragma once
// The run's log file: one UTF-8 text file, begun anew by LogOpen, one
// time-stamped line per Log call. Log also formats the messages that the
// launcher shows to the player, so it returns the formatted text.
#include <cstdarg>
#include <string>

// Prepares logging to `path` (creating its folder) and writes the start banner.
void LogOpen(const std::wstring& path);

// Formats like printf (UTF-8 format and arguments), appends one line and
// returns the message, cut to 4094 bytes. Safe to call from any thread.
std::string Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string LogV(const char* format, va_list args);

// The path set by LogOpen, empty while logging is off.
std::wstring LogPath();
