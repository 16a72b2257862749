#pragma once
// The checks of publish-check on one publish folder.
#include <string>
#include <vector>

struct CheckOptions {
  std::string folder;    // the web server's root: the configuration is pkg/vorn_install_cfg.ini
  std::string platform;  // check only this platform's view; empty: "common" and every other section
  bool write = false;    // fill in the checksum keys
  std::string signKey;   // PEM private key: write the signature (and verify with it)
  std::string verifyKey; // PEM public (or private) key to verify the signature with
};

struct Finding {
  enum Kind { kOk, kNote, kError } kind;
  std::string text;
};

// Runs every check; the findings in order. Files are written only with
// `write` or `signKey`.
std::vector<Finding> CheckPublication(const CheckOptions& options);
