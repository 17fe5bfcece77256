#include "app/app_folders.h"

#include <gtest/gtest.h>

#include "basic_lib/path_util.h"
#include "unit/basic_lib/scratch_folder.h"

namespace {

class AppFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override { app::SetDataFolderOverride(Data()); }
  void TearDown() override { app::SetDataFolderOverride(L""); }
  std::wstring Data() const { return dir_ / L"Lumora\\"; }

  test_support::ScratchFolder dir_{L"folders"};
};

TEST_F(AppFoldersTest, PathsHangOffTheDataFolder) {
  EXPECT_EQ(Data(), app::GetDataFolder());
  EXPECT_EQ(Data() + L"temp\\", app::GetTempFolder());
  EXPECT_EQ(Data() + L"temp\\crash\\", app::GetCrashFolder());
  EXPECT_EQ(Data() + L"temp\\print\\", app::GetTempFolder(L"print"));
  EXPECT_EQ(Data() + L"config.ini", app::GetConfigPath());
}

TEST_F(AppFoldersTest, RealDataFolderIsUnderRoamingAppData) {
  app::SetDataFolderOverride(L"");
  std::wstring real = app::GetDataFolder();
  EXPECT_NE(std::wstring::npos, real.find(L"\\AppData\\Roaming\\Lumora\\")) << real;
  app::SetDataFolderOverride(Data());
}

TEST_F(AppFoldersTest, EnsureFoldersCreatesTheThreeFolders) {
  EXPECT_FALSE(basic_lib::PathExists(Data()));
  app::EnsureFolders();
  EXPECT_TRUE(basic_lib::FolderExists(Data()));
  EXPECT_TRUE(basic_lib::FolderExists(app::GetTempFolder()));
  EXPECT_TRUE(basic_lib::FolderExists(app::GetCrashFolder()));
  app::EnsureFolders();  // nothing to do the second time
  EXPECT_TRUE(basic_lib::FolderExists(app::GetCrashFolder()));
}

TEST_F(AppFoldersTest, CleanUpKeepsTheTenGreatestDumpsAndDropsThePrintFile) {
  app::EnsureFolders();
  std::wstring crash = app::GetCrashFolder();
  for (int i = 1; i <= 12; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"dump%02d.dmp", i);
    ASSERT_TRUE(test_support::WriteBytes(crash + name, "d"));
  }
  ASSERT_TRUE(test_support::WriteBytes(crash + L"other.dmpx", "x"));
  ASSERT_TRUE(test_support::WriteBytes(crash + L"notes.txt", "x"));
  ASSERT_TRUE(::CreateDirectoryW((crash + L"aaa.dmp").c_str(), nullptr));
  ASSERT_TRUE(test_support::WriteBytes(app::GetTempFolder() + L"tempprint.jpg", "j"));
  ASSERT_TRUE(test_support::WriteBytes(app::GetTempFolder() + L"wallpaper.jpg", "j"));

  app::CleanUpAtExit();

  EXPECT_FALSE(basic_lib::PathExists(crash + L"dump01.dmp"));
  EXPECT_FALSE(basic_lib::PathExists(crash + L"dump02.dmp"));
  for (int i = 3; i <= 12; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"dump%02d.dmp", i);
    EXPECT_TRUE(basic_lib::FileExists(crash + name)) << i;
  }
  EXPECT_TRUE(basic_lib::FileExists(crash + L"other.dmpx"));
  EXPECT_TRUE(basic_lib::FileExists(crash + L"notes.txt"));
  EXPECT_TRUE(basic_lib::FolderExists(crash + L"aaa.dmp"));
  EXPECT_FALSE(basic_lib::PathExists(app::GetTempFolder() + L"tempprint.jpg"));
  EXPECT_TRUE(basic_lib::FileExists(app::GetTempFolder() + L"wallpaper.jpg"));

  app::CleanUpAtExit();  // ten left: nothing more goes
  EXPECT_TRUE(basic_lib::FileExists(crash + L"dump03.dmp"));
}

TEST_F(AppFoldersTest, CleanUpWithoutFoldersDoesNothing) {
  app::CleanUpAtExit();
  EXPECT_FALSE(basic_lib::PathExists(Data()));
}

TEST_F(AppFoldersTest, DeleteDataFolderRemovesEverything) {
  app::EnsureFolders();
  ASSERT_TRUE(test_support::WriteBytes(app::GetConfigPath(), "[app]\r\n"));
  ASSERT_TRUE(test_support::WriteBytes(app::GetCrashFolder() + L"a.dmp", "d"));
  EXPECT_TRUE(app::DeleteDataFolder());
  EXPECT_FALSE(basic_lib::PathExists(Data()));
  EXPECT_TRUE(basic_lib::FolderExists(dir_.Path()));
}

}  // namespace
