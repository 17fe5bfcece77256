#include "app/crash_filter.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(CrashFilterTest, PatchBytesReturnZeroForThisArchitecture) {
#if defined(__x86_64__)
  const std::vector<uint8_t> expected = {0x33, 0xC0, 0xC3};
#else
  const std::vector<uint8_t> expected = {0x33, 0xC0, 0xC2, 0x04, 0x00};
#endif
  EXPECT_EQ(expected, crash::FilterPatchBytes());
}

TEST(CrashFilterTest, PatchWritesReadOnlyCodeAndRestoresItsProtection) {
  void* page = ::VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
  ASSERT_NE(nullptr, page);
  std::memset(page, 0x90, 16);
  DWORD old = 0;
  ASSERT_TRUE(::VirtualProtect(page, 4096, PAGE_EXECUTE_READ, &old));
  const std::vector<uint8_t> bytes = crash::FilterPatchBytes();
  ASSERT_TRUE(crash::PatchCode(page, bytes));
  EXPECT_EQ(0, std::memcmp(page, bytes.data(), bytes.size()));
  EXPECT_EQ(0x90, static_cast<uint8_t*>(page)[bytes.size()]);
  MEMORY_BASIC_INFORMATION mbi = {};
  ASSERT_NE(0u, ::VirtualQuery(page, &mbi, sizeof(mbi)));
  EXPECT_EQ(static_cast<DWORD>(PAGE_EXECUTE_READ), mbi.Protect);
  // The patched code runs and returns 0.
  using Fn = intptr_t(WINAPI*)(void*);
  EXPECT_EQ(0, reinterpret_cast<Fn>(page)(page));
  ::VirtualFree(page, 0, MEM_RELEASE);
  EXPECT_FALSE(crash::PatchCode(nullptr, bytes));
}

TEST(CrashFilterTest, ReporterSearchOrderAndParameters) {
  const std::vector<std::wstring> expected = {
      L"C:\\Apps\\Lumora\\bin\\FaultSender.exe", L"C:\\Apps\\Lumora\\bin\\Support\\FaultSender.exe",
      L"C:\\Apps\\Lumora\\FaultSender.exe", L"C:\\Apps\\Lumora\\Support\\FaultSender.exe",
      L"C:\\Apps\\FaultSender.exe"};
  EXPECT_EQ(expected, crash::FaultSenderCandidates(L"C:\\Apps\\Lumora\\bin\\"));
  // Near the root the missing ancestors are left out.
  const std::vector<std::wstring> shallow = {L"C:\\FaultSender.exe",
                                             L"C:\\Support\\FaultSender.exe"};
  EXPECT_EQ(shallow, crash::FaultSenderCandidates(L"C:\\"));

  EXPECT_EQ(
      L"--pep=18446744073709551615 --pid=1234 --tid=77 --src=lumoramain --ver=1.0.0.1 --rep=0",
      crash::FormatFaultSenderParameters(~0ull, 1234, 77, L"lumoramain", L"1.0.0.1", 0));
}

TEST(CrashFilterTest, VersionTextFromTheVersionResource) {
  wchar_t path[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  EXPECT_EQ(L"1.0.0.1", crash::ReadFileVersionText(path));
  EXPECT_EQ(L"", crash::ReadFileVersionText(L"Z:\\no\\such\\file.exe"));
}

// Process-wide and permanent: once installed, nobody can replace the filter.
TEST(CrashFilterTest, InstalledFilterCannotBeReplaced) {
  ASSERT_TRUE(crash::InstallCrashFilter(L"Z:\\nowhere\\", L"lumoramain", L"1.0.0.1", 0));
  const LPTOP_LEVEL_EXCEPTION_FILTER previous = ::SetUnhandledExceptionFilter(nullptr);
  EXPECT_EQ(nullptr, previous);
  EXPECT_EQ(nullptr, ::SetUnhandledExceptionFilter(nullptr));
}

}  // namespace
