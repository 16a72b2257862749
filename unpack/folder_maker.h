#pragma once
// Creates the folders of an unpacking job: every missing folder along a path,
// each prefix that ends before a separator, shortest first, then the whole
// path. A folder once seen to exist is not asked about again, so a package
// of thousands of files in a few hundred folders costs a few hundred folder
// checks rather than one per path component per file.
#include <string>
#include <unordered_set>

class FolderMaker {
 public:
  // Creates `path` and the folders above it. True when it exists as a folder
  // afterwards. Failures are otherwise left to the file creation that follows.
  bool Make(const std::wstring& path);

  // Whether `path` was created by this maker, so that it held nothing before.
  bool Created(const std::wstring& path) const;

 private:
  bool MakeOne(const std::wstring& prefix);

  std::unordered_set<std::wstring> known_;    // keys: Key(path)
  std::unordered_set<std::wstring> created_;
};
