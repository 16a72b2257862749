#pragma once
// Owners of CNG (bcrypt) handles, in the style of base/handles.h.
#include <windows.h>
#include <bcrypt.h>

#include "base/handles.h"

namespace base {

struct AlgorithmTraits : NullIsEmpty<BCRYPT_ALG_HANDLE> {
  static void Close(BCRYPT_ALG_HANDLE h) { BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashTraits : NullIsEmpty<BCRYPT_HASH_HANDLE> {
  static void Close(BCRYPT_HASH_HANDLE h) { BCryptDestroyHash(h); }
};
struct CryptKeyTraits : NullIsEmpty<BCRYPT_KEY_HANDLE> {
  static void Close(BCRYPT_KEY_HANDLE h) { BCryptDestroyKey(h); }
};

using UniqueAlgorithm = UniqueOwner<BCRYPT_ALG_HANDLE, AlgorithmTraits>;
using UniqueHash = UniqueOwner<BCRYPT_HASH_HANDLE, HashTraits>;
using UniqueCryptKey = UniqueOwner<BCRYPT_KEY_HANDLE, CryptKeyTraits>;

}  // namespace base
