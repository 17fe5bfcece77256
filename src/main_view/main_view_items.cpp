#include "main_view/main_view_items.h"

#include <gdiplus.h>

#include <algorithm>
#include <cstring>

#include "widget_window/interface_image.h"

namespace main_view {

namespace {

constexpr UINT kFadeIntervalMs = 10;
constexpr int kFadeStep = 10;
constexpr UINT kLoadingIntervalMs = 100;
constexpr int kIndicatorEdgeRows = 5;
// The welcome slogan is centred as if 52 pixels followed it; the button sits 87 below it.
constexpr int kSlogonReserve = 52;
constexpr int kOpenButtonGap = 87;
constexpr int kOpenButtonIndent = 7;

CWidgetItem* Find(CWidgetItemList& items, int id) {
  for (auto& item : items) {
    if (item->id == id) return item.get();
  }
  return nullptr;
}

}  // namespace

void CMainViewLayout::Layout(HWND wnd, CWidgetItemList& items) {
  RECT client = {0, 0, 0, 0};
  if (wnd) ::GetClientRect(wnd, &client);
  LayoutIn(client, items);
}

void CMainViewLayout::LayoutIn(const RECT& r, CWidgetItemList& items) const {
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  for (auto& item : items) {
    switch (item->id) {
      case kTurnPrevItem:
        item->rect = {r.left, r.top, r.left + indicatorWidth, r.bottom};
        break;
      case kTurnNextItem:
        item->rect = {r.right - indicatorWidth, r.top, r.right, r.bottom};
        break;
      case kLoadErrorItem:
      case kLoadingItem:
        item->rect = r;
        break;
      case kWelcomeOpenItem: {
        CWidgetItem* slogon = Find(items, kWelcomeSlogonItem);
        const int w6 = slogon ? slogon->Width() : 0;
        const int h6 = slogon ? slogon->Height() : 0;
        const int w5 = item->Width();
        const int h5 = item->Height();
        const int x = (width - w6) / 2;
        const int y = (height - h6 - kSlogonReserve) / 2;
        if (slogon) slogon->rect = {x, y, x + w6, y + h6};
        const int bx = x + kOpenButtonIndent;
        const int by = y + h6 + kOpenButtonGap;
        item->rect = {bx, by, bx + w5, by + h5};
        break;
      }
      case kMissingTipItem:
      case kSavingTipItem: {
        const int x = (width - kTipWidth) / 2;
        const int y = (height - kTipHeight) / 2;
        item->rect = {x, y, x + kTipWidth, y + kTipHeight};
        break;
      }
      default:
        break;
    }
  }
}

void FillCurrentAlpha(FCObjImage* image, int percent) {
  if (!image || !image->IsValid() || image->ColorBits() != 32) return;
  for (int y = 0; y < image->Height(); ++y) {
    BYTE* p = image->GetBits(y);
    for (int x = 0; x < image->Width(); ++x, p += 4) {
      const int a = p[3] * percent / 100;
      p[0] = static_cast<BYTE>(p[0] * a / 255);
      p[1] = static_cast<BYTE>(p[1] * a / 255);
      p[2] = static_cast<BYTE>(p[2] * a / 255);
      p[3] = static_cast<BYTE>(a);
    }
  }
}

bool MirrorImage(const FCObjImage& source, FCObjImage* target) {
  if (!source.IsValid() || !target) return false;
  if (!target->Create(source.Width(), source.Height(), source.ColorBits())) return false;
  const int bytes = source.ColorBits() / 8;
  for (int y = 0; y < source.Height(); ++y) {
    for (int x = 0; x < source.Width(); ++x) {
      std::memcpy(target->GetBits(source.Width() - 1 - x, y), source.GetBits(x, y), bytes);
    }
  }
  return true;
}

static bool CopyImage(const FCObjImage& source, FCObjImage* target) {
  if (!source.IsValid()) return false;
  if (!target->IsValid() || target->Width() != source.Width() ||
      target->Height() != source.Height() || target->ColorBits() != source.ColorBits()) {
    if (!target->Create(source.Width(), source.Height(), source.ColorBits())) return false;
  }
  const size_t row = static_cast<size_t>(source.Width()) * source.ColorBits() / 8;
  for (int y = 0; y < source.Height(); ++y) std::memcpy(target->GetBits(y), source.GetBits(y), row);
  return true;
}

FadeStep NextFadeStep(int alpha, int step) {
  const int next = std::clamp(alpha + step, 0, 100);
  return {next, next == 100 || next == 0};
}

IndicatorBands ComputeIndicatorBands(int image_height, int item_height) {
  const int middle = std::max(image_height - 2 * kIndicatorEdgeRows, 0);
  const int top = std::max((item_height - middle) / 2, 0);
  const int bottom = std::max(item_height - top - middle, 0);
  return {top, middle, bottom};
}

// ---------------------------------------------------------------------------------------------

CTurnPageItem::CTurnPageItem(int item_id, const FCObjImage& source, CWidgetWindow* view)
    : CWidgetItem(item_id), view_(view) {
  CopyImage(source, &source_);
  CopyImage(source, &working_);
}

void CTurnPageItem::OnMouseEnter() {
  StartTimer(kFadeIntervalMs);
  alphaStep_ = kFadeStep;
}

void CTurnPageItem::OnMouseLeave() {
  StartTimer(kFadeIntervalMs);
  alphaStep_ = -kFadeStep;
}

void CTurnPageItem::OnTimer() {
  const FadeStep step = NextFadeStep(alpha_, alphaStep_);
  alpha_ = step.alpha;
  if (step.stop) StopTimer();
  if (CopyImage(source_, &working_) && working_.ColorBits() == 32) {
    FillCurrentAlpha(&working_, alpha_);
  }
  if (view_ && view_->GetSafeHwnd()) ::InvalidateRect(view_->GetSafeHwnd(), &rect, TRUE);
}

void CTurnPageItem::Draw(HDC dc) {
  if (alpha_ == 0 || !working_.IsValid()) return;
  const int image_height = working_.Height();
  const int w = Width();
  if (image_height < 2 * kIndicatorEdgeRows + 1 || w <= 0) {
    working_.Draw(dc, 0, 0, w, Height());
    return;
  }
  const IndicatorBands bands = ComputeIndicatorBands(image_height, Height());
  const int iw = working_.Width();
  const RECT top_src = {0, 0, iw, kIndicatorEdgeRows};
  const RECT middle_src = {0, kIndicatorEdgeRows, iw, image_height - kIndicatorEdgeRows};
  const RECT bottom_src = {0, image_height - kIndicatorEdgeRows, iw, image_height};
  if (bands.top > 0) working_.Draw(dc, 0, 0, w, bands.top, &top_src);
  working_.Draw(dc, 0, bands.top, w, bands.top + bands.middle, &middle_src);
  if (bands.bottom > 0) {
    working_.Draw(dc, 0, bands.top + bands.middle, w, Height(), &bottom_src);
  }
}

// ---------------------------------------------------------------------------------------------

CLoadingGifItem::CLoadingGifItem(HWND view) : CWidgetItem(kLoadingItem), view_(view) {
  SetEnabled(false);
  widget_window::LoadInterfaceImage(L"loading.png", &strip_);
  frame_ = {0, 0, strip_.Height(), strip_.Height()};
  StartTimer(kLoadingIntervalMs);
}

void CLoadingGifItem::OnTimer() {
  const int w = frame_.right - frame_.left;
  ::OffsetRect(&frame_, w, 0);
  if (frame_.right > strip_.Width()) frame_ = {0, 0, w, frame_.bottom - frame_.top};
  if (view_) ::InvalidateRect(view_, &rect, FALSE);
}

void CLoadingGifItem::Draw(HDC dc) {
  const int fw = frame_.right - frame_.left;
  const int fh = frame_.bottom - frame_.top;
  const int iw = Width();
  const int ih = Height();
  if (!strip_.IsValid() || fw <= 0 || fh <= 0 || iw <= 0 || ih <= 0) return;
  int w = fw;
  int h = fh;
  if (fw > iw || fh > ih) {
    const double scale = std::min(static_cast<double>(iw) / fw, static_cast<double>(ih) / fh);
    w = std::max(static_cast<int>(fw * scale), 1);
    h = std::max(static_cast<int>(fh * scale), 1);
  }
  const int x = (iw - w) / 2;
  const int y = (ih - h) / 2;
  strip_.Draw(dc, x, y, x + w, y + h, &frame_);
}

// ---------------------------------------------------------------------------------------------

CLoadErrorItem::CLoadErrorItem(std::wstring file_name, std::wstring error_text, HFONT font)
    : CWidgetItem(kLoadErrorItem),
      fileName_(std::move(file_name)),
      errorText_(std::move(error_text)),
      font_(font) {
  SetEnabled(false);
}

void CLoadErrorItem::Draw(HDC dc) {
  const int w = Width();
  const int h = Height();
  HGDIOBJ old_font = font_ ? ::SelectObject(dc, font_.Get()) : nullptr;
  const COLORREF old_color = ::SetTextColor(dc, RGB(105, 105, 105));
  const int old_mode = ::SetBkMode(dc, TRANSPARENT);
  RECT upper = {0, 0, w, h / 2};
  ::DrawTextW(dc, fileName_.c_str(), static_cast<int>(fileName_.size()), &upper,
              DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX);
  RECT lower = {0, h / 2, w, h};
  ::DrawTextW(dc, errorText_.c_str(), static_cast<int>(errorText_.size()), &lower,
              DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  ::SetBkMode(dc, old_mode);
  ::SetTextColor(dc, old_color);
  if (old_font) ::SelectObject(dc, old_font);
}

// ---------------------------------------------------------------------------------------------

CTipItem::CTipItem(int item_id, std::wstring text) : CWidgetItem(item_id), text_(std::move(text)) {
  widget_window::LoadInterfaceImage(L"not_exist_bg.png", &image_);
  rect = {0, 0, image_.Width(), image_.Height()};
}

void CTipItem::Draw(HDC dc) {
  using namespace Gdiplus::DllExports;
  if (image_.IsValid()) image_.Draw(dc, 0, 0, Width(), Height());
  if (text_.empty()) return;
  // The face is asked for through GDI, which maps a missing one to a present face.
  LOGFONTW lf = {};
  lf.lfHeight = -18;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = ANTIALIASED_QUALITY;
  ::lstrcpynW(lf.lfFaceName, L"\x5FAE\x8F6F\x96C5\x9ED1", LF_FACESIZE);
  Gdiplus::GpGraphics* graphics = nullptr;
  if (GdipCreateFromHDC(dc, &graphics) != Gdiplus::Ok || !graphics) return;
  Gdiplus::GpFont* font = nullptr;
  Gdiplus::GpSolidFill* brush = nullptr;
  Gdiplus::GpStringFormat* format = nullptr;
  if (GdipCreateFontFromLogfontW(dc, &lf, &font) == Gdiplus::Ok &&
      GdipCreateSolidFill(0xFFFFFFFF, &brush) == Gdiplus::Ok &&
      GdipCreateStringFormat(0, LANG_NEUTRAL, &format) == Gdiplus::Ok) {
    GdipSetStringFormatAlign(format, Gdiplus::StringAlignmentCenter);
    GdipSetStringFormatLineAlign(format, Gdiplus::StringAlignmentCenter);
    GdipSetTextRenderingHint(graphics, Gdiplus::TextRenderingHintAntiAlias);
    // The graphics follows the DC's viewport origin, so the item's rectangle starts at 0, 0.
    Gdiplus::RectF layout(0.0f, 0.0f, static_cast<float>(Width()), static_cast<float>(Height()));
    GdipDrawString(graphics, text_.c_str(), static_cast<INT>(text_.size()), font, &layout, format,
                   reinterpret_cast<Gdiplus::GpBrush*>(brush));
  }
  if (format) GdipDeleteStringFormat(format);
  if (brush) GdipDeleteBrush(reinterpret_cast<Gdiplus::GpBrush*>(brush));
  if (font) GdipDeleteFont(font);
  GdipDeleteGraphics(graphics);
}

}  // namespace main_view
