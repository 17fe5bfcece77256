#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "image/image_format.h"
#include "res/resource.h"

namespace {

TEST(ResourcesTest, AcceleratorTableHasEveryKey) {
  HACCEL table = ::LoadAcceleratorsW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(128));
  ASSERT_NE(nullptr, table);
  const int count = ::CopyAcceleratorTableW(table, nullptr, 0);
  std::vector<ACCEL> entries(count);
  ::CopyAcceleratorTableW(table, entries.data(), count);

  constexpr BYTE V = FVIRTKEY;
  constexpr BYTE C = FVIRTKEY | FCONTROL;
  // (flags without FNOINVERT, key, command); character entries have no FVIRTKEY.
  std::vector<std::tuple<int, int, int>> expected = {
      {V, VK_F5, 21800},     {C, 'C', 21002},       {C, 'O', 21000},     {C, 'S', 21001},
      {C, 'P', 21100},       {V, VK_DOWN, 26001},   {V, VK_UP, 26000},   {0, '/', 20002},
      {V, '1', 20002},       {V, VK_DELETE, 20009}, {C, 'E', 20011},     {V, VK_F2, 20010},
      {V, VK_RIGHT, 20006},  {V, VK_SPACE, 20006},  {V, VK_LEFT, 20005}, {C, 'L', 20007},
      {C, 'R', 20008},       {V, VK_TAB, 20000},    {V, 'G', 20001},     {V, 'M', 20012},
      {0, '+', 20003},       {0, '=', 20003},       {0, '-', 20004},     {V, 'T', 21600},
      {V, VK_RETURN, 20013},
  };
  std::vector<std::tuple<int, int, int>> actual;
  for (const ACCEL& a : entries) {
    EXPECT_EQ(0, a.fVirt & (FSHIFT | FALT)) << a.key;
    actual.emplace_back(a.fVirt & ~FNOINVERT, a.key, a.cmd);
  }
  std::sort(expected.begin(), expected.end());
  std::sort(actual.begin(), actual.end());
  EXPECT_EQ(expected, actual);
}

TEST(ResourcesTest, OpenFilterStringMatchesTheFormatTable) {
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(::GetModuleHandleW(nullptr), IDS_OPEN_FILTER,
                                   reinterpret_cast<wchar_t*>(&text), 0);
  ASSERT_GT(length, 0);
  EXPECT_EQ(std::wstring(kOpenDialogFilterTemplate), std::wstring(text, length));
}

TEST(ResourcesTest, IconAndMainDialogExist) {
  HINSTANCE self = ::GetModuleHandleW(nullptr);
  HICON icon =
      static_cast<HICON>(::LoadImageW(self, MAKEINTRESOURCEW(IDI_LUMORA), IMAGE_ICON, 32, 32, 0));
  ASSERT_NE(nullptr, icon);
  ::DestroyIcon(icon);
  EXPECT_NE(nullptr, ::FindResourceW(self, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG));
}

}  // namespace
