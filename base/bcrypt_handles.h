#pragma once
// Owners of CNG (bcrypt) handles, in the style of base/handles.h.
#include <windows.h>
#include <bcrypt.h>

#include "base/handles.h"

namespace base {

struct AlgorithmTraits {
  static BCRYPT_ALG_HANDLE Empty() { return nullptr; }
  static void Close(BCRYPT_ALG_HANDLE h) { BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashTraits {
  static BCRYPT_HASH_HANDLE Empty() { return nullptr; }
  static void Close(BCRYPT_HASH_HANDLE h) { BCryptDestroyHash(h); }
};
struct CryptKeyTraits {
  static BCRYPT_KEY_HANDLE Empty() { return nullptr; }
  static void Close(BCRYPT_KEY_HANDLE h) { BCryptDestroyKey(h); }
};

using UniqueAlgorithm = UniqueOwner<BCRYPT_ALG_HANDLE, AlgorithmTraits>;
using UniqueHash = UniqueOwner<BCRYPT_HASH_HANDLE, HashTraits>;
using UniqueCryptKey = UniqueOwner<BCRYPT_KEY_HANDLE, CryptKeyTraits>;

}  // namespace base
