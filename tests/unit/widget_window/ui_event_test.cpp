#include "widget_window/ui_event.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

class Recorder : public CUIEventObserver {
 public:
  explicit Recorder(std::vector<int>* log, int tag) : log_(log), tag_(tag) {}
  void OnUIEvent(const CUIEventParam* event) override {
    log_->push_back(tag_ * 100 + event->GetEventType());
    if (on_event) on_event();
  }
  std::function<void()> on_event;

 private:
  std::vector<int>* log_;
  int tag_;
};

TEST(UIEvent, TypeNumbersAreDistinctAndStable) {
  const int zoom = CUIEventViewZoomChanged::StaticType();
  const int folder = CUIEventFolderImageCollected::StaticType();
  const int image = CUIEventViewImageChanged::StaticType();
  EXPECT_NE(zoom, folder);
  EXPECT_NE(zoom, image);
  EXPECT_NE(folder, image);
  CUIEventViewZoomChanged event(0.5f, 0.25f);
  EXPECT_EQ(event.GetEventType(), zoom);
  EXPECT_EQ(CUIEventViewZoomChanged::StaticType(), zoom);
  EXPECT_FLOAT_EQ(event.zoom, 0.5f);
  EXPECT_FLOAT_EQ(event.fitZoom, 0.25f);
}

TEST(UIEvent, EveryObserverHearsEachEventSynchronously) {
  EXPECT_EQ(CUIEventObserver::ObserverCount(), 0u);
  CUIEventViewImageChanged nobody;
  DispatchUIEvent(&nobody);  // no observer set: nothing happens
  std::vector<int> log;
  {
    Recorder a(&log, 1), b(&log, 2);
    EXPECT_EQ(CUIEventObserver::ObserverCount(), 2u);
    CUIEventFolderImageCollected event;
    DispatchUIEvent(&event);
    ASSERT_EQ(log.size(), 2u);
  }
  EXPECT_EQ(CUIEventObserver::ObserverCount(), 0u);
  CUIEventFolderImageCollected later;
  DispatchUIEvent(&later);
  EXPECT_EQ(log.size(), 2u);
}

TEST(UIEvent, ObserverDestroyedDuringDispatchIsSkipped) {
  std::vector<int> log;
  auto first = std::make_unique<Recorder>(&log, 1);
  auto second = std::make_unique<Recorder>(&log, 2);
  // Whichever comes first in address order removes the other one.
  Recorder* earlier = first.get() < second.get() ? first.get() : second.get();
  std::unique_ptr<Recorder>& later = first.get() < second.get() ? second : first;
  earlier->on_event = [&] { later.reset(); };
  CUIEventViewImageChanged event;
  DispatchUIEvent(&event);
  EXPECT_EQ(log.size(), 1u);
  EXPECT_EQ(CUIEventObserver::ObserverCount(), 1u);
}

}  // namespace
