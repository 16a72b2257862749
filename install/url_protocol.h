#pragma once
// The URL protocol HKEY_CLASSES_ROOT\<installName>, through which a web page
// starts the installed launcher.
#include <string>

struct InstallConfig;

// True when the protocol key exists: an earlier run registered everything.
bool UrlProtocolRegistered(const std::wstring& installName);

// Makes <installName> a URL protocol that starts the launcher copy in the
// install folder with the whole URL as its argument.
void RegisterUrlProtocol(const InstallConfig& config);
