#include "basic_lib/scoped_handle.h"

#include <gtest/gtest.h>

namespace {

TEST(ScopedHandleTest, ClosesOnResetAndScopeExitAndMoves) {
  HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(nullptr, raw);
  DWORD flags = 0;
  {
    basic_lib::ScopedKernelHandle a(raw);
    basic_lib::ScopedKernelHandle b(std::move(a));
    EXPECT_FALSE(a.IsValid());
    EXPECT_EQ(raw, b.Get());
    EXPECT_TRUE(::GetHandleInformation(raw, &flags));
  }
  EXPECT_FALSE(::GetHandleInformation(raw, &flags));

  basic_lib::ScopedBitmap bmp(::CreateBitmap(4, 4, 1, 32, nullptr));
  ASSERT_TRUE(bmp);
  HBITMAP released = bmp.Release();
  EXPECT_FALSE(bmp);
  EXPECT_TRUE(::DeleteObject(released));
}

}  // namespace
