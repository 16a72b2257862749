#include "base/handles.h"

#include <gtest/gtest.h>

namespace {

// Neither failure value of the kernel's APIs is a handle an owner may close,
// whichever of them the owner uses as its own empty value.
template <class Owner>
void ExpectRefusesBothFailureValues() {
  for (HANDLE failed : {HANDLE(nullptr), INVALID_HANDLE_VALUE}) {
    Owner owner(failed);
    EXPECT_FALSE(owner.Valid());
    EXPECT_FALSE(static_cast<bool>(owner));
  }
}

TEST(Handles, KernelOwnersRefuseNullAndInvalidHandleValue) {
  ExpectRefusesBothFailureValues<base::UniqueHandle>();
  ExpectRefusesBothFailureValues<base::UniqueFile>();
  ExpectRefusesBothFailureValues<base::UniqueFind>();
}

TEST(Handles, AProcessHandleIsOwnedButThePseudoHandleIsNot) {
  // GetCurrentProcess() is -1: not a handle of the table, nothing to close.
  EXPECT_FALSE(base::UniqueHandle(GetCurrentProcess()).Valid());
  HANDLE copy = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &copy, 0,
                              FALSE, DUPLICATE_SAME_ACCESS));
  base::UniqueHandle owned(copy);
  EXPECT_TRUE(owned.Valid());
}

TEST(Handles, ClosingKeepsTheLastError) {
  base::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event.Valid());
  SetLastError(ERROR_FILE_NOT_FOUND);
  event.Reset();
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(event.Valid());
}

}  // namespace
