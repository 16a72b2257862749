#include "install/folder_ownership.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "base/handles.h"
#include "base/paths.h"

namespace {

// Rights that change the folder or what is in it.
constexpr ACCESS_MASK kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                                     FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                     GENERIC_ALL | MAXIMUM_ALLOWED;

struct LocalMemory : base::NullIsEmpty<HLOCAL> {
  static void Close(HLOCAL memory) { LocalFree(memory); }
};
using UniqueLocal = base::UniqueOwner<HLOCAL, LocalMemory>;

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) { return IsWellKnownSid(sid, type) != FALSE; }

// Accounts that may write to the user's folders anyway: the system itself
// and the machine's administrators. CREATOR OWNER only ever stands for the
// account that makes an entry, which needs a write right of its own first.
bool MayWrite(PSID sid, PSID user) {
  return EqualSid(sid, user) || IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinBuiltinAdministratorsSid) ||
         IsWellKnown(sid, WinCreatorOwnerSid);
}

std::string SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return "an unreadable account";
  UniqueLocal owner(text);
  std::string narrow;
  for (const wchar_t* c = text; *c; ++c) narrow += static_cast<char>(*c < 128 ? *c : '?');
  return narrow;
}

// The SID of this process's user, in `buffer`.
PSID ProcessUser(std::vector<BYTE>* buffer) {
  base::UniqueHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) return nullptr;
  DWORD size = 0;
  GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return nullptr;
  buffer->assign(size, 0);
  if (!GetTokenInformation(token.Get(), TokenUser, buffer->data(), size, &size)) return nullptr;
  return reinterpret_cast<TOKEN_USER*>(buffer->data())->User.Sid;
}

}  // namespace

std::string OwnershipRefusal(PSECURITY_DESCRIPTOR descriptor, PSID user) {
  if (!descriptor || !user || !IsValidSecurityDescriptor(descriptor)) return "its security cannot be read";
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !owner) return "it has no owner";
  if (!EqualSid(owner, user)) return "it is owned by " + SidText(owner);
  BOOL present = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) return "its security cannot be read";
  if (!present || !dacl) return "everyone may change it";
  ACL_SIZE_INFORMATION info{};
  if (!GetAclInformation(dacl, &info, sizeof info, AclSizeInformation)) return "its security cannot be read";
  for (DWORD i = 0; i < info.AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(dacl, i, &entry)) return "its security cannot be read";
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    switch (header->AceType) {
      case ACCESS_DENIED_ACE_TYPE:
      case ACCESS_DENIED_OBJECT_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
        continue;  // a denial only takes rights away
      case ACCESS_ALLOWED_ACE_TYPE:
      case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
        // Both lay out the mask and the account the same way.
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if ((allowed->Mask & kWriteRights) && !MayWrite(sid, user))
          return SidText(sid) + " may change it";
        continue;
      }
      default:
        return "it grants access of a kind not checked here";
    }
  }
  return std::string();
}

std::string FolderOwnershipRefusal(const std::wstring& dir) {
  std::vector<BYTE> userBuffer;
  PSID user = ProcessUser(&userBuffer);
  if (!user) return "this process's user is unknown";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD rc = GetNamedSecurityInfoW(base::WithoutTrailingSeparators(dir).c_str(), SE_FILE_OBJECT,
                                   OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                   nullptr, &descriptor);
  if (rc != ERROR_SUCCESS) return "its security cannot be read (error " + std::to_string(rc) + ")";
  UniqueLocal owner(descriptor);
  return OwnershipRefusal(descriptor, user);
}

unsigned long CreatePrivateFolder(const std::wstring& dir) {
  std::vector<BYTE> userBuffer;
  PSID user = ProcessUser(&userBuffer);
  if (!user) return GetLastError() ? GetLastError() : ERROR_INVALID_SID;
  wchar_t* userText = nullptr;
  if (!ConvertSidToStringSidW(user, &userText)) return GetLastError();
  UniqueLocal userOwner(userText);
  // Protected: nothing of the parent's permissions (on a data drive's root,
  // every authenticated user may modify) is inherited.
  std::wstring sddl = std::wstring(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;") + userText + L")";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
    return GetLastError();
  UniqueLocal descriptorOwner(descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  if (!CreateDirectoryW(base::WithoutTrailingSeparators(dir).c_str(), &attributes)) return GetLastError();
  return 0;
}
