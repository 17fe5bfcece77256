#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "render_support/render_test_util.h"
#include "view_render/pre_render_key_frame.h"
#include "view_render/render_messages.h"
#include "view_render/system_cache.h"
#include "view_render/view_render.h"
#include "view_render/view_settings.h"
#include "widget_window/ui_event.h"

using namespace render_test;
using view_render::CViewRender;
using view_render::ViewSettings;

namespace {

const bool kEnvironment = (InstallRenderEnvironment(), true);

class ZoomRecorder : public CUIEventObserver {
 public:
  void OnUIEvent(const CUIEventParam* event) override {
    if (event->GetEventType() != CUIEventViewZoomChanged::StaticType()) return;
    const auto* zoom = static_cast<const CUIEventViewZoomChanged*>(event);
    events.push_back({zoom->zoom, zoom->fitZoom});
  }
  std::vector<std::pair<float, float>> events;
};

// A renderer over a pattern image of any size: large images get a good cached preview, and
// background tasks are held, so only the zoom model is exercised.
class ZoomModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view_render::SetViewSettings(ViewSettings());
    source_ = std::make_shared<FakeThumbnailSource>();
    source_->AddAnswer(WTS_INCACHEONLY, 1280, 960, WTS_CACHED);
    cache_ = std::make_unique<CSystemCache>(source_);
  }
  void TearDown() override { view_render::SetViewSettings(ViewSettings()); }

  std::unique_ptr<CViewRender> Make(UINT image_w, UINT image_h, int view_w, int view_h) {
    doc_.SetLoader(CWICImageLoader::FromBitmap(MakePatternSource(image_w, image_h).Get()),
                   L"Z:\\pictures\\pattern.jpg");
    view_render::RenderEnvironment env;
    env.document = &doc_;
    env.cache = cache_.get();
    env.set_zoom_text = [this](int percent) { zoom_texts_.push_back(percent); };
    return std::make_unique<CViewRender>(env, view_w, view_h, window_.Get());
  }

  FakeDocument doc_{false};
  std::shared_ptr<FakeThumbnailSource> source_;
  std::unique_ptr<CSystemCache> cache_;
  RecordingWindow window_;
  std::vector<int> zoom_texts_;
};

TEST_F(ZoomModelTest, SmallImageIsCentredAtActualSize) {
  auto render = Make(400, 300, 800, 600);
  EXPECT_FLOAT_EQ(render->GetFitRatio(), 1.0f);
  EXPECT_FLOAT_EQ(render->GetZoomRatio(), 1.0f);
  const auto* vp = render->GetViewport();
  EXPECT_EQ(vp->ZoomedWidth(), 400);
  EXPECT_EQ(vp->ZoomedHeight(), 300);
  EXPECT_EQ(vp->ImageOrigin().x, 200);
  EXPECT_EQ(vp->ImageOrigin().y, 150);
  // The fit frame was drawn into the back buffer, canvas around it.
  const auto* buffer = render->GetBackBuffer();
  EXPECT_TRUE(ColourNear(buffer->PixelAt(250, 300), kLeftColour));
  EXPECT_TRUE(ColourNear(buffer->PixelAt(550, 300), kRightColour));
  EXPECT_EQ(buffer->PixelAt(100, 100), RGB(255, 255, 255));
  ASSERT_FALSE(zoom_texts_.empty());
  EXPECT_EQ(zoom_texts_.back(), 100);
}

TEST_F(ZoomModelTest, WheelStepsAroundTheMouseAndStopAtFivePercent) {
  ZoomRecorder recorder;
  auto render = Make(4000, 3000, 800, 600);
  EXPECT_FLOAT_EQ(render->GetFitRatio(), 0.2f);
  EXPECT_EQ(zoom_texts_.back(), 20);

  // Image point (2500, 1000) lies under view point (500, 200) at fit.
  render->ZoomStep(1, 500, 200);
  EXPECT_NEAR(render->GetZoomRatio(), 0.22f, 1e-6);
  const auto* vp = render->GetViewport();
  EXPECT_EQ(vp->ZoomedWidth(), 880);
  EXPECT_EQ(vp->ZoomedHeight(), 660);
  const POINT origin = vp->ImageOrigin();
  EXPECT_NEAR(origin.x + 2500 * 0.22, 500, 1.0);
  EXPECT_NEAR(origin.y + 1000 * 0.22, 200, 1.0);
  EXPECT_EQ(zoom_texts_.back(), 22);
  ASSERT_EQ(recorder.events.size(), 1u);
  EXPECT_NEAR(recorder.events[0].first, 0.22f, 1e-6);
  EXPECT_FLOAT_EQ(recorder.events[0].second, 0.2f);

  render->ToggleFit(0, 0);  // back to fit
  render->ZoomStep(-1, 400, 300);
  EXPECT_NEAR(render->GetZoomRatio(), 0.18f, 1e-6);
  for (int i = 0; i < 60; ++i) render->ZoomStep(-1, 400, 300);
  EXPECT_FLOAT_EQ(render->GetZoomRatio(), 0.05f);
  EXPECT_EQ(render->GetViewport()->ZoomedWidth(), 200);
}

TEST_F(ZoomModelTest, ZoomingInStopsExactlyAtTheMaximum) {
  ViewSettings settings;
  settings.max_zoom_ratio = 4;
  view_render::SetViewSettings(settings);
  auto render = Make(4000, 3000, 800, 600);
  render->ZoomTo(3.8f, 400, 300);
  render->ZoomStep(1, 400, 300);  // 4.18 would pass the limit
  EXPECT_FLOAT_EQ(render->GetZoomRatio(), 4.0f);
  render->ZoomStep(3, 400, 300);
  EXPECT_FLOAT_EQ(render->GetZoomRatio(), 4.0f);
}

TEST_F(ZoomModelTest, TinyImageShrinksToFivePercentButNeverBelowOnePixel) {
  auto render = Make(100, 50, 800, 600);
  EXPECT_FLOAT_EQ(render->GetFitRatio(), 1.0f);
  for (int i = 0; i < 60; ++i) render->ZoomStep(-1, 400, 300);
  EXPECT_FLOAT_EQ(render->GetZoomRatio(), 0.05f);
  EXPECT_EQ(render->GetViewport()->ZoomedWidth(), 5);
  EXPECT_EQ(render->GetViewport()->ZoomedHeight(), 2);
  EXPECT_EQ(view_render::ZoomedSide(10, 0.01f), 1);
}

TEST_F(ZoomModelTest, DoubleClickAndActualSizeToggle) {
  auto render = Make(4000, 3000, 800, 600);
  render->ToggleFit(100, 100);
  EXPECT_FLOAT_EQ(render->GetZoomRatio(), 0.4f);
  render->ToggleFit(100, 100);
  EXPECT_FLOAT_EQ(render->GetZoomRatio(), 0.2f);

  render->ToggleActualSize();
  EXPECT_FLOAT_EQ(render->GetZoomRatio(), 1.0f);
  // Around the centre: image centre (2000, 1500) stays at view (400, 300).
  EXPECT_EQ(render->GetViewport()->Visible().left, 1600);
  EXPECT_EQ(render->GetViewport()->Visible().top, 1200);
  render->ToggleActualSize();
  EXPECT_FLOAT_EQ(render->GetZoomRatio(), 0.2f);

  ViewSettings settings;
  settings.double_click_action = 1;
  view_render::SetViewSettings(settings);
  auto second = Make(4000, 3000, 800, 600);
  second->ToggleFit(10, 10);
  EXPECT_FLOAT_EQ(second->GetZoomRatio(), 1.0f);
}

TEST_F(ZoomModelTest, DraggingAFittedImageDoesNothing) {
  auto render = Make(400, 300, 800, 600);
  const int rebuilds = render->RebuildCount();
  render->Pan(50, -30);
  EXPECT_EQ(render->RebuildCount(), rebuilds);
  EXPECT_EQ(render->GetViewport()->Visible().left, 0);
  EXPECT_EQ(render->GetViewport()->Visible().top, 0);
}

TEST_F(ZoomModelTest, PanScrollsTheBufferLikeAFullRedraw) {
  auto render = Make(1200, 1000, 600, 500);  // below the pixel threshold: frames at once
  render->ZoomTo(1.0f, 300, 250);
  ASSERT_EQ(render->GetViewport()->Visible().left, 300);
  render->Pan(-120, 40);  // drag left and down: the visible part moves right and up
  EXPECT_EQ(render->GetViewport()->Visible().left, 420);
  EXPECT_EQ(render->GetViewport()->Visible().top, 210);
  // Pan past the edge is held at the image border.
  render->Pan(-5000, 0);
  EXPECT_EQ(render->GetViewport()->Visible().left, 600);
  const auto* buffer = render->GetBackBuffer();
  // Image x = 600 + view x; the colour changes at image x 600, so at view x 0.
  for (int x : {20, 200, 580}) {
    EXPECT_TRUE(ColourNear(buffer->PixelAt(x, 250), kRightColour)) << x;
  }
  render->Pan(300, 0);
  // Now image x = 300 + view x: left colour up to view x 300.
  EXPECT_TRUE(ColourNear(buffer->PixelAt(100, 100), kLeftColour));
  EXPECT_TRUE(ColourNear(buffer->PixelAt(500, 100), kRightColour));
}

TEST_F(ZoomModelTest, LongImagesOpenAtActualSizeFromTheTop) {
  ViewSettings settings;
  settings.long_image_mode = true;
  view_render::SetViewSettings(settings);
  auto tall = Make(1000, 5000, 1280, 800);
  EXPECT_FLOAT_EQ(tall->GetZoomRatio(), 1.0f);
  EXPECT_EQ(tall->GetViewport()->Visible().top, 0);
  EXPECT_EQ(tall->GetViewport()->ImageOrigin().x, 140);

  auto wide = Make(1300, 6000, 1280, 800);
  EXPECT_FLOAT_EQ(wide->GetZoomRatio(), wide->GetFitRatio());
  EXPECT_LT(wide->GetZoomRatio(), 1.0f);
}

TEST_F(ZoomModelTest, ResizeReturnsToTheNewFit) {
  auto render = Make(4000, 3000, 800, 600);
  render->ZoomTo(0.5f, 400, 300);
  const int stops = doc_.stop_count_;
  render->SetViewSize(800, 600);  // same size: zoom kept
  EXPECT_FLOAT_EQ(render->GetZoomRatio(), 0.5f);
  EXPECT_EQ(doc_.stop_count_, stops);
  render->SetViewSize(400, 300);
  EXPECT_FLOAT_EQ(render->GetZoomRatio(), 0.1f);
  EXPECT_FLOAT_EQ(render->GetFitRatio(), 0.1f);
  EXPECT_EQ(doc_.stop_count_, stops + 1);
  EXPECT_EQ(zoom_texts_.back(), 10);
}

TEST_F(ZoomModelTest, LiveResizeStretchesThePreviewWithoutChangingTheModel) {
  auto render = Make(400, 300, 800, 600);
  basic_lib::ScopedWindowDc screen(nullptr);
  basic_lib::ScopedMemoryDc dc(::CreateCompatibleDC(screen.Get()));
  basic_lib::ScopedBitmap target(::CreateCompatibleBitmap(screen.Get(), 200, 150));
  basic_lib::ScopedSelectObject select(dc.Get(), target.Get());
  render->Paint(dc.Get(), 200, 150, true);
  EXPECT_FLOAT_EQ(render->GetZoomRatio(), 1.0f);
  EXPECT_EQ(zoom_texts_.back(), 50);
  EXPECT_TRUE(ColourNear(::GetPixel(dc.Get(), 40, 75), kLeftColour));
  EXPECT_TRUE(ColourNear(::GetPixel(dc.Get(), 160, 75), kRightColour));
}

}  // namespace
