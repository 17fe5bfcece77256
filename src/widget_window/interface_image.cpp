#include "widget_window/interface_image.h"

#include <gdiplus.h>

#include "basic_lib/path_util.h"

namespace widget_window {
namespace {

// Interface pictures are small; anything beyond this is not one of ours.
constexpr UINT kMaxSide = 8192;

class GdiplusBitmap {
 public:
  ~GdiplusBitmap() {
    if (bitmap_) Gdiplus::DllExports::GdipDisposeImage(bitmap_);
  }
  Gdiplus::GpBitmap** Out() { return &bitmap_; }
  Gdiplus::GpBitmap* Get() const { return bitmap_; }

 private:
  Gdiplus::GpBitmap* bitmap_ = nullptr;
};

}  // namespace

std::wstring GetInterfaceImageFolder() { return basic_lib::GetExeFolder() + L"resources\\"; }

bool LoadInterfaceImage(const std::wstring& file_name, FCObjImage* image, bool straight_alpha) {
  return LoadImageFileWithGdiplus(GetInterfaceImageFolder() + file_name, image, straight_alpha);
}

bool LoadImageFileWithGdiplus(const std::wstring& path, FCObjImage* image, bool straight_alpha) {
  using namespace Gdiplus::DllExports;
  if (!image) return false;
  image->Destroy();
  GdiplusBitmap bitmap;
  if (GdipCreateBitmapFromFile(path.c_str(), bitmap.Out()) != Gdiplus::Ok || !bitmap.Get()) {
    return false;
  }
  UINT width = 0, height = 0;
  if (GdipGetImageWidth(bitmap.Get(), &width) != Gdiplus::Ok ||
      GdipGetImageHeight(bitmap.Get(), &height) != Gdiplus::Ok || width == 0 || height == 0 ||
      width > kMaxSide || height > kMaxSide) {
    return false;
  }
  // Bottom-up rows, addressed top row first through a negative stride.
  if (!image->Create(static_cast<int>(width), static_cast<int>(height), 32)) return false;
  Gdiplus::BitmapData data = {};
  data.Width = width;
  data.Height = height;
  data.Stride = -image->Stride();
  data.PixelFormat = straight_alpha ? PixelFormat32bppARGB : PixelFormat32bppPARGB;
  data.Scan0 = image->GetBits(0);
  Gdiplus::GpRect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  if (GdipBitmapLockBits(bitmap.Get(), &rect,
                         Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                         data.PixelFormat, &data) != Gdiplus::Ok) {
    image->Destroy();
    return false;
  }
  GdipBitmapUnlockBits(bitmap.Get(), &data);
  return true;
}

CGdiplusScope::CGdiplusScope() {
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) token_ = 0;
}

CGdiplusScope::~CGdiplusScope() {
  if (token_) Gdiplus::GdiplusShutdown(token_);
}

}  // namespace widget_window
