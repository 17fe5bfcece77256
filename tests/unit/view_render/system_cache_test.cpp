#include "view_render/system_cache.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "image/wic_factory.h"
#include "render_support/render_test_util.h"
#include "view_render/render_messages.h"
#include "view_render/view_settings.h"

using namespace render_test;
using view_render::RequestThumbnail;
using view_render::SystemVersion;
using view_render::ThumbnailKind;
using view_render::ViewSettings;

namespace {

std::vector<std::wstring> TenNames() {
  std::vector<std::wstring> names;
  for (int i = 1; i <= 10; ++i) names.push_back(L"p" + std::to_wstring(i) + L".jpg");
  return names;
}

std::vector<std::wstring> Paths(const std::vector<const wchar_t*>& names) {
  std::vector<std::wstring> out;
  for (const wchar_t* n : names) out.push_back(std::wstring(L"C:\\pics\\") + n);
  return out;
}

class SystemCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view_render::SetViewSettings(ViewSettings());
    source_ = std::make_shared<FakeThumbnailSource>();
    cache_ = std::make_unique<CSystemCache>(source_);
  }
  void TearDown() override { view_render::SetViewSettings(ViewSettings()); }
  std::shared_ptr<FakeThumbnailSource> source_;
  std::unique_ptr<CSystemCache> cache_;
};

TEST_F(SystemCacheTest, OffsetsFollowTheDirection) {
  // Not started: tasks wait in order.
  cache_->Preload(L"C:\\pics", 4, TenNames());
  EXPECT_EQ(cache_->PendingPaths(), Paths({L"p6.jpg", L"p4.jpg", L"p7.jpg", L"p8.jpg"}));
  cache_->SetDirection(CSystemCache::kForward);
  cache_->Preload(L"C:\\pics", 4, TenNames());
  EXPECT_EQ(cache_->PendingPaths(), Paths({L"p6.jpg", L"p7.jpg", L"p8.jpg"}));
  cache_->SetDirection(CSystemCache::kBackward);
  cache_->Preload(L"C:\\pics\\", 4, TenNames());  // another folder text: direction resets
  EXPECT_EQ(cache_->GetDirection(), CSystemCache::kNone);
  cache_->SetDirection(CSystemCache::kBackward);
  cache_->Preload(L"C:\\pics\\", 4, TenNames());
  EXPECT_EQ(cache_->PendingPaths(), Paths({L"p4.jpg", L"p3.jpg", L"p2.jpg"}));
}

TEST_F(SystemCacheTest, OnlyExistingNeighboursAndSystemFormats) {
  const std::vector<std::wstring> ten = TenNames();
  // The folder list hands its names over as a deque.
  cache_->Preload(L"C:\\pics", 9, std::deque<std::wstring>(ten.begin(), ten.end()));  // no wrap
  EXPECT_EQ(cache_->PendingPaths(), Paths({L"p9.jpg"}));
  cache_->Preload(L"C:\\pics", 0, TenNames());
  EXPECT_EQ(cache_->PendingPaths(), Paths({L"p2.jpg", L"p3.jpg", L"p4.jpg"}));
  cache_->Preload(L"C:\\pics", 0, std::vector<std::wstring>{L"a.jpg"});
  EXPECT_TRUE(cache_->PendingPaths().empty());
  const std::vector<std::wstring> mixed = {L"a.jpg", L"b.webp", L"c.png", L"d.cr2", L"e.bmp"};
  cache_->Preload(L"C:\\pics", 1, mixed);  // offsets reach c, a, d and e
  EXPECT_EQ(cache_->PendingPaths(), Paths({L"c.png", L"a.jpg", L"e.bmp"}));
}

TEST_F(SystemCacheTest, NothingRunsUntilStartedAndEnabled) {
  ViewSettings off;
  off.preload_enable = false;
  view_render::SetViewSettings(off);
  cache_->Start();
  cache_->Preload(L"C:\\pics", 4, TenNames());
  EXPECT_EQ(cache_->RunningCount(), 0u);
  EXPECT_EQ(cache_->PendingCount(), 4u);
  cache_->Preload(L"C:\\pics", 5, TenNames());  // the old ones are dropped unrun
  EXPECT_EQ(cache_->PendingCount(), 4u);
  EXPECT_EQ(source_->CallCount(), 0u);
  EXPECT_TRUE(cache_->QueuedNames().empty());
}

TEST_F(SystemCacheTest, EachFileIsPreloadedOncePerFolderVisit) {
  const std::wstring folder = MakeTempFolder(L"preload");
  cache_->Preload(folder, 4, TenNames());
  EXPECT_EQ(cache_->RunningCount(), 0u);  // waits for the first image's frame
  cache_->Start();
  ASSERT_TRUE(
      PumpUntil([&] { return cache_->PendingCount() == 0 && cache_->RunningCount() == 0; }));
  const auto calls = source_->Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].path, folder + L"\\p6.jpg");
  EXPECT_EQ(calls[0].flags, WTS_EXTRACT);
  EXPECT_EQ(calls[0].size, 1280u);
  EXPECT_EQ(cache_->QueuedNames().size(), 4u);

  cache_->Preload(folder, 5, TenNames());  // p7, p8 were done: only p5 and p9 are new
  ASSERT_TRUE(
      PumpUntil([&] { return cache_->PendingCount() == 0 && cache_->RunningCount() == 0; }));
  ASSERT_EQ(source_->CallCount(), 6u);
  EXPECT_EQ(source_->Calls()[4].path, folder + L"\\p5.jpg");
  EXPECT_EQ(source_->Calls()[5].path, folder + L"\\p9.jpg");

  cache_->Preload(L"C:\\elsewhere", 0, std::vector<std::wstring>{L"x.jpg", L"y.jpg"});
  ASSERT_TRUE(
      PumpUntil([&] { return cache_->PendingCount() == 0 && cache_->RunningCount() == 0; }));
  cache_->Preload(folder, 5, TenNames());  // back again: everything is preloaded anew
  EXPECT_EQ(cache_->PendingCount() + cache_->RunningCount(), 4u);
  ASSERT_TRUE(
      PumpUntil([&] { return cache_->PendingCount() == 0 && cache_->RunningCount() == 0; }));
}

TEST_F(SystemCacheTest, RunningPreloadNotifiesTheWaitingWindow) {
  const std::wstring folder = MakeTempFolder(L"preload_wait");
  const std::wstring target = folder + L"\\p2.jpg";
  source_->HoldCalls(target, WTS_EXTRACT);
  cache_->Start();
  cache_->Preload(folder, 0, TenNames());
  ASSERT_TRUE(PumpUntil([&] { return source_->CallCount() >= 1; }));
  RecordingWindow window;
  EXPECT_FALSE(cache_->IsPreloading(folder + L"\\p3.jpg", window.Get()));  // only pending
  EXPECT_TRUE(cache_->IsPreloading(target, window.Get()));
  source_->Release();
  ASSERT_TRUE(PumpUntil([&] { return window.Count(WM_PRELOAD_DONE) == 1; }));
  ASSERT_TRUE(
      PumpUntil([&] { return cache_->PendingCount() == 0 && cache_->RunningCount() == 0; }));
  EXPECT_EQ(window.Count(WM_PRELOAD_DONE), 1);
}

TEST_F(SystemCacheTest, RequestKindsUseTheSystemSizes) {
  SystemVersion win10;
  SystemVersion win7;
  win7.windows8_or_later = false;
  win7.windows10_or_later = false;
  struct Case {
    ThumbnailKind kind;
    int size;
    SystemVersion version;
    UINT expected_size;
    WTS_FLAGS expected_flags;
  };
  const Case cases[] = {
      {ThumbnailKind::kQuick, 800, win10, 1280, WTS_INCACHEONLY},
      {ThumbnailKind::kQuick, 1280, win10, 1280, WTS_INCACHEONLY},
      {ThumbnailKind::kQuick, 1281, win10, 1281, WTS_INCACHEONLY | WTS_SCALETOREQUESTEDSIZE},
      {ThumbnailKind::kQuick, 1000, win7, 1024, WTS_INCACHEONLY},
      {ThumbnailKind::kQuick, 1100, win7, 1100, WTS_INCACHEONLY | WTS_SCALETOREQUESTEDSIZE},
      {ThumbnailKind::kExact, 700, win10, 700, WTS_SCALETOREQUESTEDSIZE},
      {ThumbnailKind::kLarge, 700, win10, 1280, WTS_EXTRACT},
      {ThumbnailKind::kLarge, 700, win7, 1024, WTS_EXTRACT},
  };
  for (const Case& c : cases) {
    FakeThumbnailSource fake;
    RequestThumbnail(&fake, L"C:\\a.jpg", c.kind, c.size, c.version);
    const auto calls = fake.Calls();
    ASSERT_GE(calls.size(), 1u);
    EXPECT_EQ(calls[0].size, c.expected_size) << c.size;
    EXPECT_EQ(calls[0].flags, c.expected_flags) << c.size;
    // Only the quick kind falls back to the fast 256-pixel extraction.
    EXPECT_EQ(calls.size(), c.kind == ThumbnailKind::kQuick ? 2u : 1u);
    if (calls.size() == 2) {
      EXPECT_EQ(calls[1].size, 256u);
      EXPECT_EQ(calls[1].flags, WTS_FASTEXTRACT);
    }
  }
}

TEST_F(SystemCacheTest, QuickRequestQualityRules) {
  SystemVersion win7;
  win7.windows8_or_later = false;
  win7.windows10_or_later = false;
  FakeThumbnailSource fast;
  fast.AddAnswer(WTS_FASTEXTRACT, 256, 192, WTS_DEFAULT);
  EXPECT_EQ(
      RequestThumbnail(&fast, L"C:\\a.jpg", ThumbnailKind::kQuick, 800, SystemVersion()).flags,
      WTS_LOWQUALITY);

  // Before Windows 10 a bitmap of 1020 or more counts as good for targets up to 1080.
  FakeThumbnailSource old;
  old.AddAnswer(WTS_INCACHEONLY, 1024, 768, WTS_LOWQUALITY);
  old.AddAnswer(WTS_INCACHEONLY | WTS_SCALETOREQUESTEDSIZE, 1100, 800, WTS_LOWQUALITY);
  EXPECT_EQ(RequestThumbnail(&old, L"C:\\a.jpg", ThumbnailKind::kQuick, 1000, win7).flags,
            WTS_CACHED);
  EXPECT_EQ(RequestThumbnail(&old, L"C:\\a.jpg", ThumbnailKind::kQuick, 1100, win7).flags,
            WTS_LOWQUALITY);
  EXPECT_EQ(
      RequestThumbnail(&old, L"C:\\a.jpg", ThumbnailKind::kQuick, 1000, SystemVersion()).flags,
      WTS_LOWQUALITY);  // not on Windows 10
}

TEST_F(SystemCacheTest, CachedPreviewQualityAndFormats) {
  FakeDocument doc(false);
  doc.SetLoader(CWICImageLoader::FromBitmap(MakePatternSource(4000, 3000).Get()),
                L"C:\\pics\\a.jpg");
  source_->AddAnswer(WTS_INCACHEONLY, 1280, 960, WTS_CACHED, RGB(0, 200, 0));
  bool good = false;
  basic_lib::ScopedBitmap preview(cache_->GetCachedPreview(&doc, 800, 600, &good));
  ASSERT_TRUE(preview);
  EXPECT_TRUE(good);
  EXPECT_TRUE(ColourNear(BitmapPixel(preview.Get(), 400, 300), RGB(0, 200, 0)));
  BITMAP info = {};
  ASSERT_EQ(::GetObjectW(preview.Get(), sizeof(info), &info), static_cast<int>(sizeof(info)));
  EXPECT_EQ(info.bmWidth, 800);
  EXPECT_EQ(info.bmHeight, 600);

  FakeDocument webp(false);
  webp.SetLoader(doc.GetLoader(), L"C:\\pics\\a.webp");
  const size_t calls = source_->CallCount();
  EXPECT_EQ(cache_->GetCachedPreview(&webp, 800, 600, &good), nullptr);
  EXPECT_EQ(source_->CallCount(), calls);

  auto low = std::make_shared<FakeThumbnailSource>();
  low->AddAnswer(WTS_FASTEXTRACT, 256, 192, WTS_DEFAULT);
  CSystemCache low_cache(low);
  preview.Reset(low_cache.GetCachedPreview(&doc, 800, 600, &good));
  EXPECT_TRUE(preview);
  EXPECT_FALSE(good);
}

TEST(ShellThumbnailSource, MissingCacheMakesEveryRequestEmpty) {
  // Whatever the system offers, a failure must give an empty result and no crash.
  view_render::CShellThumbnailSource shell;
  view_render::ThumbnailBitmap out;
  const bool got = shell.GetThumbnail(L"Z:\\no\\such\\file.jpg", 256, WTS_EXTRACT, &out);
  EXPECT_FALSE(got);
  EXPECT_TRUE(out.IsEmpty());
  std::printf("thumbnail cache creation: 0x%08lX\n",
              static_cast<unsigned long>(view_render::CShellThumbnailSource::LastCreateResult()));
}

}  // namespace
