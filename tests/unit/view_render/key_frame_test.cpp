#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "image/wic_factory.h"
#include "render_support/render_test_util.h"
#include "view_render/pre_render_key_frame.h"
#include "view_render/render_messages.h"
#include "view_render/system_cache.h"
#include "view_render/view_render.h"
#include "view_render/view_settings.h"

using namespace render_test;
using view_render::CViewRender;
using view_render::DrawnFrame;
using view_render::KeyFrameSlot;
using view_render::ViewSettings;

namespace {

TEST(KeyFrameChoice, CandidatesFollowTheRatio) {
  CZoomKeyFrame f2(0.2f), f4(0.4f), f2_only(1.2f);
  using S = KeyFrameSlot;
  struct Case {
    float g;
    const CZoomKeyFrame* two;
    const CZoomKeyFrame* four;
    std::vector<S> expected;
  };
  const Case cases[] = {
      {0.15f, &f2, &f4, {S::k2x, S::kFit}},  // at or below 2x
      {0.2f, &f2, &f4, {S::k2x, S::kFit}},
      {0.3f, &f2, &f4, {S::k4x, S::kFit}},  // between 2x and 4x
      {0.4f, &f2, &f4, {S::k4x, S::kFit}},
      {0.5f, &f2, &f4, {S::k1to1, S::k4x, S::kFit}},  // above 4x
      {0.15f, &f2, nullptr, {S::k2x, S::kFit}},
      {0.3f, &f2, nullptr, {S::k1to1, S::k2x, S::kFit}},
      {0.7f, nullptr, nullptr, {S::k1to1, S::kFit}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(view_render::ChooseKeyFrameCandidates(c.g, c.two, c.four), c.expected) << c.g;
  }
}

// Real pictures written through WIC, decoded and drawn through Direct2D.
class KeyFrameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new std::wstring(MakeTempFolder(L"key_frames"));
    ASSERT_TRUE(WriteTwoColourImage(Path(L"big.jpg"), 3000, 2000, GUID_ContainerFormatJpeg));
    ASSERT_TRUE(WriteTwoColourImage(Path(L"wide.jpg"), 2000, 1000, GUID_ContainerFormatJpeg));
    ASSERT_TRUE(WriteTwoColourImage(Path(L"square.png"), 1200, 1200, GUID_ContainerFormatPng));
    ASSERT_TRUE(WriteTwoColourImage(Path(L"small.png"), 1000, 800, GUID_ContainerFormatPng));
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  static std::wstring Path(const wchar_t* name) { return *folder_ + L"\\" + name; }

  void SetUp() override {
    view_render::SetViewSettings(ViewSettings());
    source_ = std::make_shared<FakeThumbnailSource>();
    cache_ = std::make_unique<CSystemCache>(source_);
  }
  void TearDown() override { view_render::SetViewSettings(ViewSettings()); }

  std::unique_ptr<CViewRender> Open(const wchar_t* name, int view_w, int view_h,
                                    bool* has_frame = nullptr) {
    EXPECT_TRUE(doc_.OpenFile(Path(name)));
    view_render::RenderEnvironment env;
    env.document = &doc_;
    env.cache = cache_.get();
    return std::make_unique<CViewRender>(env, view_w, view_h, window_.Get(), has_frame);
  }
  static CPreRenderKeyFrame* KeyFrames(CViewRender* render) {
    return static_cast<CPreRenderKeyFrame*>(render->GetPreRender());
  }

  static std::wstring* folder_;
  FakeDocument doc_;
  std::shared_ptr<FakeThumbnailSource> source_;
  std::unique_ptr<CSystemCache> cache_;
  RecordingWindow window_;
};
std::wstring* KeyFrameTest::folder_ = nullptr;

TEST_F(KeyFrameTest, SmallImageGetsItsFitFrameAtOnce) {
  bool has_frame = false;
  auto render = Open(L"small.png", 500, 400, &has_frame);
  EXPECT_TRUE(has_frame);
  EXPECT_NE(render->GetPreRender()->GetFitBitmap(true), nullptr);
  EXPECT_FALSE(doc_.HasQueue());  // no task was needed
  EXPECT_EQ(source_->CallCount(), 0u);
  EXPECT_TRUE(cache_->IsStarted());
}

TEST_F(KeyFrameTest, LargeImageZoomsThroughTwoFourAndActualSizeFrames) {
  bool has_frame = true;
  auto render = Open(L"big.jpg", 300, 200, &has_frame);
  EXPECT_FALSE(has_frame);  // empty cache: the fit frame comes from a task
  CPreRenderKeyFrame* frames = KeyFrames(render.get());
  ASSERT_TRUE(PumpUntil([&] { return frames->GetFitBitmap(true) != nullptr; }));
  PumpUntil([&] { return window_.Count(WM_FIRST_FRAME_READY) > 0; }, 2000);
  EXPECT_EQ(window_.Count(WM_FIRST_FRAME_READY), 1);
  // First pass: the large extraction, then the exact size, then decoding.
  const auto calls = source_->Calls();
  ASSERT_EQ(calls.size(), 4u);  // quick, fast extract, large, exact
  EXPECT_EQ(calls[2].flags, WTS_EXTRACT);
  EXPECT_EQ(calls[2].size, 1280u);
  EXPECT_EQ(calls[3].flags, WTS_SCALETOREQUESTEDSIZE);
  EXPECT_EQ(calls[3].size, 300u);
  EXPECT_FLOAT_EQ(render->GetFitRatio(), 0.1f);
  EXPECT_TRUE(ColourNear(render->GetBackBuffer()->PixelAt(60, 100), kLeftColour));

  render->ZoomTo(0.3f, 150, 100);
  EXPECT_TRUE(frames->IsZoomStarted());
  ASSERT_TRUE(PumpUntil([&] { return frames->Frame1to1() != nullptr; }));
  ASSERT_NE(frames->Frame2x(), nullptr);
  ASSERT_NE(frames->Frame4x(), nullptr);
  EXPECT_FLOAT_EQ(frames->Frame2x()->GetRatio(), 0.2f);
  EXPECT_FLOAT_EQ(frames->Frame4x()->GetRatio(), 0.4f);
  EXPECT_FLOAT_EQ(frames->Frame1to1()->GetRatio(), 1.0f);
  ASSERT_NE(frames->Frame4x()->GetBitmap(), nullptr);
  EXPECT_FLOAT_EQ(frames->Frame4x()->GetBitmap()->GetSize().width, 1200.0f);
  ASSERT_NE(frames->Frame1to1()->GetBitmap(), nullptr);
  EXPECT_FLOAT_EQ(frames->Frame1to1()->GetBitmap()->GetSize().width, 3000.0f);
  EXPECT_EQ(frames->GetRenderTargetType(), D2D1_RENDER_TARGET_TYPE_SOFTWARE);

  render->Redraw();
  EXPECT_EQ(frames->LastDrawnFrame(), DrawnFrame::k4x);
  render->ZoomTo(0.5f, 150, 100);
  EXPECT_EQ(frames->LastDrawnFrame(), DrawnFrame::k1to1);
  render->ZoomTo(0.15f, 150, 100);
  EXPECT_EQ(frames->LastDrawnFrame(), DrawnFrame::k2x);
  render->ZoomTo(0.1f, 150, 100);
  EXPECT_EQ(frames->LastDrawnFrame(), DrawnFrame::kFitGdi);

  // At 1:1 around the colour border the two halves show on their sides.
  render->ZoomTo(1.0f, 150, 100);
  EXPECT_EQ(frames->LastDrawnFrame(), DrawnFrame::k1to1);
  const auto* buffer = render->GetBackBuffer();
  EXPECT_TRUE(ColourNear(buffer->PixelAt(20, 100), kLeftColour));
  EXPECT_TRUE(ColourNear(buffer->PixelAt(280, 100), kRightColour));
}

TEST_F(KeyFrameTest, NoIntermediateFramesWhenTwiceTheFitReachesActualSize) {
  auto render = Open(L"wide.jpg", 1200, 1200);  // fit 0.6, height leaves canvas strips
  CPreRenderKeyFrame* frames = KeyFrames(render.get());
  ASSERT_TRUE(PumpUntil([&] { return frames->GetFitBitmap(true) != nullptr; }));
  EXPECT_FLOAT_EQ(render->GetFitRatio(), 0.6f);
  render->ZoomTo(0.7f, 600, 600);
  ASSERT_TRUE(PumpUntil([&] { return frames->Frame1to1() != nullptr; }));
  EXPECT_EQ(frames->Frame2x(), nullptr);
  EXPECT_EQ(frames->Frame4x(), nullptr);
  EXPECT_EQ(frames->LastDrawnFrame(), DrawnFrame::k1to1);
  // Direct2D drew the picture and left the canvas above and below it.
  const auto* buffer = render->GetBackBuffer();
  EXPECT_TRUE(ColourNear(buffer->PixelAt(300, 600), kLeftColour));
  EXPECT_TRUE(ColourNear(buffer->PixelAt(900, 600), kRightColour));
  EXPECT_EQ(buffer->PixelAt(600, 100), RGB(255, 255, 255));
  EXPECT_EQ(buffer->PixelAt(600, 1150), RGB(255, 255, 255));
}

TEST_F(KeyFrameTest, SmallImageMakesItsZoomFramesAtOnce) {
  ViewSettings settings;
  settings.hardware_zoom = true;
  view_render::SetViewSettings(settings);
  auto render = Open(L"square.png", 600, 600);
  CPreRenderKeyFrame* frames = KeyFrames(render.get());
  render->ZoomTo(0.55f, 300, 300);
  ASSERT_NE(frames->Frame1to1(), nullptr);  // no message loop needed
  EXPECT_EQ(frames->Frame2x(), nullptr);
  EXPECT_EQ(frames->LastDrawnFrame(), DrawnFrame::k1to1);
  EXPECT_EQ(frames->GetRenderTargetType(), D2D1_RENDER_TARGET_TYPE_DEFAULT);
  EXPECT_FALSE(doc_.HasQueue());
}

TEST_F(KeyFrameTest, DeviceLossRebuildsTheZoomContextOnTheNextDraw) {
  auto render = Open(L"square.png", 600, 600);
  CPreRenderKeyFrame* frames = KeyFrames(render.get());
  render->ZoomTo(0.8f, 300, 300);
  ASSERT_NE(frames->Frame1to1(), nullptr);
  const HWND old_window = frames->GetSafeHwnd();
  frames->ResetZoomContext();
  EXPECT_FALSE(frames->IsZoomStarted());
  EXPECT_EQ(frames->Frame1to1(), nullptr);
  EXPECT_EQ(frames->GetRenderTarget(), nullptr);
  EXPECT_NE(frames->GetSafeHwnd(), old_window);
  EXPECT_FALSE(::IsWindow(old_window));
  render->Redraw();
  EXPECT_TRUE(frames->IsZoomStarted());
  ASSERT_NE(frames->Frame1to1(), nullptr);
  EXPECT_EQ(frames->LastDrawnFrame(), DrawnFrame::k1to1);
}

TEST_F(KeyFrameTest, CachedPreviewShowsAtOnceAndASecondPassRefinesIt) {
  // Fitted 1500 x 1000: larger than the cache's 1280, so the large thumbnail is not enough.
  const std::wstring path = Path(L"big.jpg");
  source_->AddAnswer(WTS_EXTRACT, 1280, 853, WTS_CACHED, RGB(0, 200, 0), path);
  source_->AddAnswer(WTS_SCALETOREQUESTEDSIZE, 1500, 1000, WTS_CACHED, RGB(0, 0, 200), path);
  bool has_frame = true;
  auto render = Open(L"big.jpg", 1500, 1000, &has_frame);
  EXPECT_FALSE(has_frame);
  CPreRenderKeyFrame* frames = KeyFrames(render.get());
  ASSERT_TRUE(PumpUntil([&] { return frames->GetFitBitmap(true) != nullptr; }));
  EXPECT_TRUE(ColourNear(BitmapPixel(frames->GetFitBitmap(true), 700, 500), RGB(0, 0, 200)));
  const auto calls = source_->Calls();
  ASSERT_EQ(calls.size(), 4u);  // quick, fast extract, large (first pass), exact (second pass)
  EXPECT_EQ(calls[0].flags, WTS_INCACHEONLY | WTS_SCALETOREQUESTEDSIZE);
  EXPECT_EQ(calls[0].size, 1500u);
  EXPECT_EQ(calls[1].flags, WTS_FASTEXTRACT);
  EXPECT_EQ(calls[2].flags, WTS_EXTRACT);
  EXPECT_EQ(calls[3].flags, WTS_SCALETOREQUESTEDSIZE);
}

TEST_F(KeyFrameTest, GoodQuickPreviewNeedsNoTask) {
  source_->AddAnswer(WTS_INCACHEONLY, 1280, 853, WTS_CACHED, RGB(0, 200, 0));
  bool has_frame = false;
  auto render = Open(L"big.jpg", 600, 400, &has_frame);
  EXPECT_TRUE(has_frame);
  EXPECT_NE(render->GetPreRender()->GetFitBitmap(true), nullptr);
  EXPECT_EQ(source_->CallCount(), 1u);
  EXPECT_FALSE(doc_.HasQueue());
}

TEST_F(KeyFrameTest, LowQualityPreviewIsShownUntilTheDecodeReplacesIt) {
  source_->AddAnswer(WTS_INCACHEONLY, 1280, 853, WTS_LOWQUALITY, RGB(0, 200, 0));
  bool has_frame = false;
  auto render = Open(L"big.jpg", 600, 400, &has_frame);
  EXPECT_TRUE(has_frame);
  CPreRender* pre = render->GetPreRender();
  EXPECT_EQ(pre->GetFitBitmap(true), nullptr);
  ASSERT_TRUE(PumpUntil([&] { return pre->GetFitBitmap(true) != nullptr; }));
  EXPECT_TRUE(ColourNear(BitmapPixel(pre->GetFitBitmap(true), 100, 200), kLeftColour));
}

TEST_F(KeyFrameTest, RunningPreloadOfTheSameFileIsAwaited) {
  const std::wstring path = Path(L"big.jpg");
  source_->HoldCalls(path, WTS_EXTRACT);
  cache_->Start();
  cache_->Preload(*folder_, 0, std::vector<std::wstring>{L"small.png", L"big.jpg"});
  ASSERT_TRUE(PumpUntil([&] { return source_->CallCount() >= 1; }));  // the preload runs
  bool has_frame = true;
  auto render = Open(L"big.jpg", 600, 400, &has_frame);
  EXPECT_FALSE(has_frame);
  EXPECT_FALSE(doc_.HasQueue());  // waiting for the preload, no fit task
  // The preload fills the cache; when it ends the pre-renderer asks again and finds it.
  source_->AddAnswer(WTS_INCACHEONLY, 1280, 853, WTS_CACHED, RGB(0, 200, 0));
  source_->Release();
  CPreRender* pre = render->GetPreRender();
  ASSERT_TRUE(PumpUntil([&] { return pre->GetFitBitmap(true) != nullptr; }));
  EXPECT_TRUE(ColourNear(BitmapPixel(pre->GetFitBitmap(true), 300, 200), RGB(0, 200, 0)));
  EXPECT_FALSE(doc_.HasQueue());
}

TEST_F(KeyFrameTest, AfterARotationThePreviewReplacesTheCache) {
  basic_lib::ScopedBitmap shown(MakeSolidBitmap(400, 266, RGB(250, 250, 0)));
  basic_lib::ComPtr<IWICBitmap> preview;
  ASSERT_TRUE(SUCCEEDED(image::GetSharedWicFactory()->CreateBitmapFromHBITMAP(
      shown.Get(), nullptr, WICBitmapIgnoreAlpha, &preview)));
  doc_.use_preview_ = true;
  doc_.preview_ = preview;
  source_->AddAnswer(WTS_INCACHEONLY, 1280, 853, WTS_CACHED);
  bool has_frame = false;
  auto render = Open(L"big.jpg", 600, 400, &has_frame);  // fitted 600 wide: preview too narrow
  EXPECT_TRUE(has_frame);
  CPreRender* pre = render->GetPreRender();
  EXPECT_TRUE(ColourNear(BitmapPixel(pre->GetFitBitmap(false), 300, 200), RGB(250, 250, 0)));
  EXPECT_EQ(pre->GetFitBitmap(true), nullptr);
  ASSERT_TRUE(PumpUntil([&] { return pre->GetFitBitmap(true) != nullptr; }));
  EXPECT_TRUE(ColourNear(BitmapPixel(pre->GetFitBitmap(true), 100, 200), kLeftColour));
  EXPECT_EQ(source_->CallCount(), 0u);  // the cache was never asked

  auto narrow = Open(L"big.jpg", 300, 200);  // fitted 300 wide: the preview is good
  EXPECT_NE(narrow->GetPreRender()->GetFitBitmap(true), nullptr);
}

}  // namespace

namespace {

// Wider than the largest Direct2D bitmap: the 1:1 frame falls back to GDI+.
TEST(KeyFrameFallback, ActualSizeBeyondTheDirect2DLimitIsDrawnWithGdiplus) {
  view_render::SetViewSettings(ViewSettings());
  FakeDocument doc;
  doc.SetLoader(CWICImageLoader::FromBitmap(MakePatternSource(17000, 120).Get()),
                L"Z:\\pictures\\panorama.png");
  auto source = std::make_shared<FakeThumbnailSource>();
  CSystemCache cache(source);
  RecordingWindow window;
  view_render::RenderEnvironment env;
  env.document = &doc;
  env.cache = &cache;
  CViewRender render(env, 1700, 100, window.Get());
  auto* frames = static_cast<CPreRenderKeyFrame*>(render.GetPreRender());
  ASSERT_TRUE(PumpUntil([&] { return frames->GetFitBitmap(true) != nullptr; }));
  render.ZoomTo(1.0f, 850, 50);
  ASSERT_TRUE(PumpUntil([&] { return frames->Frame1to1() != nullptr; }));
  ASSERT_NE(frames->GetRenderTarget(), nullptr);
  ASSERT_GT(17000u, frames->GetRenderTarget()->GetMaximumBitmapSize());
  EXPECT_EQ(frames->Frame1to1()->GetBitmap(), nullptr);
  EXPECT_NE(frames->Frame1to1()->GetGdiplusBitmap(), nullptr);
  ASSERT_NE(frames->Frame4x(), nullptr);  // 6800 wide still fits Direct2D
  EXPECT_NE(frames->Frame4x()->GetBitmap(), nullptr);
  EXPECT_EQ(frames->LastDrawnFrame(), DrawnFrame::k1to1Gdiplus);
  // Centred on the colour border: left colour on the left, right colour on the right.
  const auto* buffer = render.GetBackBuffer();
  EXPECT_TRUE(ColourNear(buffer->PixelAt(400, 50), kLeftColour));
  EXPECT_TRUE(ColourNear(buffer->PixelAt(1300, 50), kRightColour));
}

}  // namespace
