#pragma once
// Sectioned key=value configuration text with ";" comments, as served for the
// install configuration. Works on 8-bit (UTF-8) text; free of windows.h.
#include <map>
#include <string>

struct IniFile {
  IniFile() = default;
  // Parses the whole text at once; check `error` afterwards.
  explicit IniFile(const std::string& text);

  // Parses one line (without its LF). False stops the parse: the line did not
  // fit the grammar, a key came before any header, or an earlier line failed.
  bool ParseLine(const std::string& line);

  // The stored value, or `defaultValue` when the section or key is absent.
  // A key present with an empty value yields the empty value.
  std::string Get(const std::string& section, const std::string& key,
                  const std::string& defaultValue) const;

  std::map<std::string, std::map<std::string, std::string>> sections;
  std::string error;           // empty when every line parsed
  std::string currentSection;  // where the following keys go; empty before the first header
};
