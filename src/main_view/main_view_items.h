#pragma once

#include <windows.h>

#include <string>

#include "image/obj_image.h"
#include "widget_window/timer_notify.h"
#include "widget_window/widget_items.h"
#include "widget_window/widget_window.h"

namespace main_view {

// Item ids of the image view (104 is free).
enum ItemId {
  kTurnPrevItem = 100,
  kTurnNextItem = 101,
  kLoadErrorItem = 102,
  kLoadingItem = 103,
  kWelcomeOpenItem = 105,
  kWelcomeSlogonItem = 106,
  kMissingTipItem = 107,
  kSavingTipItem = 108,
};

constexpr int kTipWidth = 180;
constexpr int kTipHeight = 50;

// Places the overlays of the image view within its client rectangle.
class CMainViewLayout : public CWidgetLayout {
 public:
  explicit CMainViewLayout(int indicator_width) : indicatorWidth(indicator_width) {}
  void Layout(HWND wnd, CWidgetItemList& items) override;
  // The same with an explicit client rectangle (the window-less part).
  void LayoutIn(const RECT& client, CWidgetItemList& items) const;

  int indicatorWidth;
};

// alpha x percent / 100, then every colour channel x new alpha / 255, integers truncated.
void FillCurrentAlpha(FCObjImage* image, int percent);
// Copy mirrored left to right (same size and depth).
bool MirrorImage(const FCObjImage& source, FCObjImage* target);

// A turn-page arrow strip that fades in while the mouse is over it.
class CTurnPageItem : public CWidgetItem, public FCTimerNotify {
 public:
  // `source` is 32 bpp, straight alpha; it is copied.
  CTurnPageItem(int item_id, const FCObjImage& source, CWidgetWindow* view);

  void OnMouseEnter() override;
  void OnMouseLeave() override;
  void OnTimer() override;
  void Draw(HDC dc) override;

  int Alpha() const { return alpha_; }
  int AlphaStep() const { return alphaStep_; }
  const FCObjImage& Working() const { return working_; }

 private:
  FCObjImage source_;
  FCObjImage working_;
  int alpha_ = 0;
  int alphaStep_ = 0;
  CWidgetWindow* view_;
};

// Frames of the loading strip, one after the other every 100 ms.
class CLoadingGifItem : public CWidgetItem, public FCTimerNotify {
 public:
  explicit CLoadingGifItem(HWND view);
  void OnTimer() override;
  void Draw(HDC dc) override;
  const RECT& FrameRect() const { return frame_; }
  FCObjImage& Strip() { return strip_; }

 private:
  FCObjImage strip_;
  RECT frame_ = {0, 0, 0, 0};
  HWND view_;
};

// The file name and the decoding error text.
class CLoadErrorItem : public CWidgetItem {
 public:
  CLoadErrorItem(std::wstring file_name, std::wstring error_text, HFONT font);
  void Draw(HDC dc) override;
  const std::wstring& FileName() const { return fileName_; }

 private:
  std::wstring fileName_;
  std::wstring errorText_;
  basic_lib::ScopedFont font_;
};

// A small rounded plate with one line of white text.
class CTipItem : public CWidgetItem {
 public:
  CTipItem(int item_id, std::wstring text);
  void Draw(HDC dc) override;
  const std::wstring& Text() const { return text_; }

 private:
  FCObjImage image_;
  std::wstring text_;
};

class CWelcomeSlogonItem : public widget_window::CWidgetItemImage {
 public:
  CWelcomeSlogonItem() : CWidgetItemImage(kWelcomeSlogonItem) {}
};

class CWelcomeOpenItem : public widget_window::CWidgetItemBitmapButton {
 public:
  CWelcomeOpenItem() : CWidgetItemBitmapButton(kWelcomeOpenItem) {}
};

// Turn-page fade state after one timer tick (clamped, and whether the timer stops).
struct FadeStep {
  int alpha;
  bool stop;
};
FadeStep NextFadeStep(int alpha, int step);

// Row counts of the three bands an indicator of height `image_height` is drawn in over an item of
// height `item_height`: top band, unscaled middle, bottom band.
struct IndicatorBands {
  int top;
  int middle;
  int bottom;
};
IndicatorBands ComputeIndicatorBands(int image_height, int item_height);

}  // namespace main_view
