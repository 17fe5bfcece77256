#include <gtest/gtest.h>

#include "basic_lib/ext_bind.h"
#include "basic_lib/win32_system.h"
#include "basic_lib/win_version.h"
#include "unit/basic_lib/scratch_folder.h"

namespace {

TEST(WinVersionTest, ManifestedTestReportsWindows10) {
  // The test prefix runs as Windows 10 and this executable carries the compatibility manifest.
  EXPECT_TRUE(basic_lib::IsWindows7OrGreater());
  EXPECT_TRUE(basic_lib::IsWindows8OrGreater());
  EXPECT_TRUE(basic_lib::IsWindows10OrGreater());
  EXPECT_TRUE(basic_lib::IsWindowsVersionOrGreater(6, 3, 0));
  EXPECT_FALSE(basic_lib::IsWindowsVersionOrGreater(10, 99, 0));
  EXPECT_FALSE(basic_lib::IsWindowsVersionOrGreater(11, 0, 0));
}

TEST(ExtBindTest, CallsReachTheLibraryAndMissingPartsAreNoOps) {
  test_support::ScratchFolder dir(L"extbind");
  std::wstring log = dir / L"calls.txt";
  ::SetEnvironmentVariableW(L"LUMORA_EXTBIND_LOG", log.c_str());

  basic_lib::CExtBindLibrary library(FAKE_EXT_BIND_DIR);
  EXPECT_TRUE(library.CallSetDefaultImageViewer(0));
  EXPECT_TRUE(library.CallUnInstall(HKEY_CURRENT_USER));
  EXPECT_TRUE(library.CallSetAssociation(L"|jpg:1||png:0|"));
  int answer = 42;
  EXPECT_FALSE(library.CallIsAssociationOK(&answer));  // export missing
  EXPECT_EQ(42, answer);
  EXPECT_EQ("SetDefaultImageViewer 0\nUnInstall 80000001\nSetAssociation |jpg:1||png:0|\n",
            test_support::ReadBytes(log));
  // Unloaded after each call: the file can be replaced at once.
  EXPECT_EQ(nullptr,
            ::GetModuleHandleW((std::wstring(FAKE_EXT_BIND_DIR) + L"\\ExtBind.dll").c_str()));

  basic_lib::CExtBindLibrary missing(dir.Path());
  EXPECT_FALSE(missing.CallSetDefaultImageViewer(0));
  EXPECT_FALSE(missing.CallUnInstall(HKEY_CURRENT_USER));
  EXPECT_FALSE(missing.CallSetAssociation(L"x"));
  ::SetEnvironmentVariableW(L"LUMORA_EXTBIND_LOG", nullptr);
}

TEST(Win32SystemTest, DeleteFolderTreeRemovesContentsAndRefusesRoots) {
  test_support::ScratchFolder dir(L"deltree");
  std::wstring target = dir / L"data";
  ASSERT_TRUE(::CreateDirectoryW(target.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((target + L"\\temp").c_str(), nullptr));
  ASSERT_TRUE(test_support::WriteBytes(target + L"\\temp\\a.txt", "x"));
  EXPECT_TRUE(basic_lib::DeleteFolderTree(target + L"\\"));
  EXPECT_FALSE(basic_lib::PathExists(target));
  EXPECT_TRUE(basic_lib::DeleteFolderTree(target));  // already gone
  EXPECT_FALSE(basic_lib::DeleteFolderTree(L""));
  EXPECT_FALSE(basic_lib::DeleteFolderTree(L"Z:\\"));
  EXPECT_TRUE(basic_lib::FolderExists(dir.Path()));
}

}  // namespace
