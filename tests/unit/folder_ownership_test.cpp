// Whether an existing folder may be adopted as the player's installation,
// decided from its security descriptor. Wine reports every file as the
// player's, so the descriptors of other machines are built here from SDDL.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>

#include "install/folder_ownership.h"

namespace {

constexpr wchar_t kUser[] = L"S-1-5-21-1000-2000-3000-1001";

struct Sid {
  explicit Sid(const wchar_t* text) { ConvertStringSidToSidW(text, &sid); }
  ~Sid() { LocalFree(sid); }
  PSID sid = nullptr;
};

std::string RefusalFor(const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
    return "bad test descriptor";
  Sid user(kUser);
  std::string refusal = OwnershipRefusal(descriptor, user.sid);
  LocalFree(descriptor);
  return refusal;
}

}  // namespace

TEST(FolderOwnership, OnlyTheUsersOwnFolderThatNobodyElseMayChangeIsAdopted) {
  const std::wstring me = std::wstring(L"O:") + kUser;
  const std::wstring mine = std::wstring(L"(A;OICI;FA;;;") + kUser + L")";
  struct Row {
    const char* what;
    std::wstring sddl;
    std::string refusal;  // empty: adopted
  } rows[] = {
      // What a folder the player made in the application data, or wine, shows.
      {"user, SYSTEM, administrators; everyone reads", me + L"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)" + mine +
                                                           L"(A;OICI;0x1200a9;;;WD)", ""},
      {"protected folder the launcher made", me + L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)" + mine, ""},
      {"creator owner's inherited rights", me + L"D:" + mine + L"(A;OICIIO;FA;;;CO)", ""},
      {"others may read, list and run", me + L"D:" + mine + L"(A;OICI;GRGX;;;WD)(A;OICI;0x1200a9;;;AU)", ""},
      {"a denial only takes away", me + L"D:" + mine + L"(D;OICI;FA;;;WD)", ""},
      // Made by someone else, or by the player on a data drive's root.
      {"owned by another account", L"O:S-1-5-21-1000-2000-3000-1002D:" + mine,
       "it is owned by S-1-5-21-1000-2000-3000-1002"},
      {"owned by the administrators", L"O:BAD:" + mine, "it is owned by S-1-5-32-544"},
      {"authenticated users may modify (a D: root's default)", me + L"D:" + mine + L"(A;OICI;0x1301bf;;;AU)",
       "S-1-5-11 may change it"},
      {"users may add files", me + L"D:" + mine + L"(A;CI;0x2;;;BU)", "S-1-5-32-545 may change it"},
      {"everyone full control on what is made inside", me + L"D:" + mine + L"(A;OICIIO;GA;;;WD)",
       "S-1-1-0 may change it"},
      {"another user may change permissions", me + L"D:" + mine + L"(A;;WD;;;S-1-5-21-1000-2000-3000-1002)",
       "S-1-5-21-1000-2000-3000-1002 may change it"},
      {"another user may delete", me + L"D:" + mine + L"(A;;SD;;;S-1-5-21-1000-2000-3000-1002)",
       "S-1-5-21-1000-2000-3000-1002 may change it"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(RefusalFor(row.sddl), row.refusal);
  }
}

TEST(FolderOwnership, NoDaclOrAnEntryOfAnotherKindIsNoPrivateFolder) {
  // Built by hand: SDDL for these is not read alike everywhere.
  Sid user(kUser);
  Sid everyone(L"S-1-1-0");
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  EXPECT_EQ(OwnershipRefusal(&descriptor, user.sid), "it has no owner");
  ASSERT_TRUE(SetSecurityDescriptorOwner(&descriptor, user.sid, FALSE));
  EXPECT_EQ(OwnershipRefusal(&descriptor, user.sid), "everyone may change it") << "no DACL";
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
  EXPECT_EQ(OwnershipRefusal(&descriptor, user.sid), "everyone may change it") << "a null DACL";

  alignas(8) BYTE buffer[512];
  PACL acl = reinterpret_cast<PACL>(buffer);
  ASSERT_TRUE(InitializeAcl(acl, sizeof buffer, ACL_REVISION_DS));
  ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION_DS, FILE_ALL_ACCESS, user.sid));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
  EXPECT_EQ(OwnershipRefusal(&descriptor, user.sid), "");
  // An object entry without object types: header, mask, flags, then the account.
  alignas(8) BYTE entry[64] = {};
  DWORD sidBytes = GetLengthSid(everyone.sid);
  auto* header = reinterpret_cast<ACE_HEADER*>(entry);
  header->AceType = ACCESS_ALLOWED_OBJECT_ACE_TYPE;
  header->AceSize = static_cast<WORD>(sizeof(ACE_HEADER) + 2 * sizeof(DWORD) + sidBytes);
  *reinterpret_cast<DWORD*>(entry + sizeof(ACE_HEADER)) = FILE_READ_DATA;
  ASSERT_TRUE(CopySid(sidBytes, entry + sizeof(ACE_HEADER) + 2 * sizeof(DWORD), everyone.sid));
  ASSERT_TRUE(AddAce(acl, ACL_REVISION_DS, MAXDWORD, entry, header->AceSize));
  EXPECT_EQ(OwnershipRefusal(&descriptor, user.sid), "it grants access of a kind not checked here");
}

TEST(FolderOwnership, AFolderMadePrivateHereIsTheUsersOwn) {
  // Through the real calls: what CreatePrivateFolder makes passes the check
  // that GetNamedSecurityInfoW feeds.
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring dir = std::wstring(temp) + L"vorn-unit-private-folder";
  RemoveDirectoryW(dir.c_str());
  ASSERT_EQ(CreatePrivateFolder(dir), 0u);
  EXPECT_EQ(CreatePrivateFolder(dir), static_cast<unsigned long>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(FolderOwnershipRefusal(dir + L"\\"), "");
  EXPECT_NE(FolderOwnershipRefusal(dir + L"\\absent"), "");
  RemoveDirectoryW(dir.c_str());
}
