#include "image/obj_image.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include "basic_lib/com_ptr.h"
#include "basic_lib/scoped_handle.h"

FCObjImage::~FCObjImage() { Destroy(); }

int FCObjImage::StrideFor(int width, int bits_per_pixel) {
  if (width <= 0 || bits_per_pixel <= 0) return 0;
  const int64_t stride = (static_cast<int64_t>(bits_per_pixel) * width + 31) / 32 * 4;
  return stride > INT_MAX ? 0 : static_cast<int>(stride);
}

void FCObjImage::ClearHeader() {
  width_ = height_ = bpp_ = signed_height_ = 0;
  pixels_ = nullptr;
}

void FCObjImage::Destroy() {
  rows_.reset();
  if (bitmap_) {
    ::DeleteObject(bitmap_);
    bitmap_ = nullptr;
  }
  ClearHeader();
}

bool FCObjImage::Create(int width, int height, int bits_per_pixel) {
  Destroy();
  if (height == 0 || height == INT_MIN || width <= 0) return false;
  if (bits_per_pixel != 8 && bits_per_pixel != 24 && bits_per_pixel != 32) return false;
  const int abs_height = height < 0 ? -height : height;
  const int stride = StrideFor(width, bits_per_pixel);
  if (stride == 0 || static_cast<int64_t>(stride) * abs_height > INT_MAX) return false;

  // Header plus 256 colour entries for 8 bpp (left all zero), header plus 16 bytes otherwise.
  alignas(BITMAPINFO) BYTE info_block[sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)] = {};
  auto* info = reinterpret_cast<BITMAPINFO*>(info_block);
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = width;
  info->bmiHeader.biHeight = height;
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = static_cast<WORD>(bits_per_pixel);
  info->bmiHeader.biCompression = BI_RGB;

  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) ::DeleteObject(bitmap);
    return false;
  }
  std::unique_ptr<BYTE*[]> rows(new (std::nothrow) BYTE*[abs_height]);
  if (!rows) {
    ::DeleteObject(bitmap);
    return false;
  }
  bitmap_ = bitmap;
  pixels_ = static_cast<BYTE*>(bits);
  width_ = width;
  height_ = abs_height;
  bpp_ = bits_per_pixel;
  signed_height_ = height;
  rows_ = std::move(rows);
  for (int y = 0; y < abs_height; ++y) {
    const int memory_row = height < 0 ? y : abs_height - 1 - y;
    rows_[y] = pixels_ + static_cast<size_t>(memory_row) * stride;
  }
  return true;
}

bool FCObjImage::CreateFromWicSource(IWICBitmapSource* source, REFWICPixelFormatGUID pixel_format) {
  if (!source) return false;
  basic_lib::ComPtr<IWICBitmapSource> converted;
  if (FAILED(::WICConvertBitmapSource(pixel_format, source, &converted)) || !converted)
    return false;
  UINT w = 0, h = 0;
  WICPixelFormatGUID format = {};
  if (FAILED(converted->GetSize(&w, &h)) || FAILED(converted->GetPixelFormat(&format))) {
    return false;
  }
  int bpp = 0;
  if (IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
    bpp = 24;
  } else if (IsEqualGUID(format, GUID_WICPixelFormat32bppBGR) ||
             IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA) ||
             IsEqualGUID(format, GUID_WICPixelFormat32bppPBGRA)) {
    bpp = 32;
  } else {
    return false;
  }
  if (w < 1 || h < 1 || w > INT_MAX || h > INT_MAX) return false;
  if (!Create(static_cast<int>(w), -static_cast<int>(h), bpp)) return false;
  const UINT stride = static_cast<UINT>(Stride());
  return SUCCEEDED(converted->CopyPixels(nullptr, stride, stride * h, pixels_));
}

void FCObjImage::Attach(int width, int height, BYTE* pixels) {
  Destroy();
  if (width <= 0 || height <= 0 || !pixels) return;
  const int stride = StrideFor(width, 32);
  if (stride == 0) return;
  std::unique_ptr<BYTE*[]> rows(new (std::nothrow) BYTE*[height]);
  if (!rows) return;
  rows_ = std::move(rows);
  width_ = width;
  height_ = height;
  signed_height_ = -height;
  bpp_ = 32;
  pixels_ = pixels;
  for (int y = 0; y < height; ++y) rows_[y] = pixels + static_cast<size_t>(y) * stride;
}

void FCObjImage::Draw(HDC dc, int left, int top, int right, int bottom,
                      const RECT* source_rect) const {
  if (!pixels_ || !dc || !bitmap_) return;  // attached memory cannot be selected into a DC
  RECT src = {0, 0, width_, height_};
  if (source_rect) src = *source_rect;
  const int dst_w = right - left, dst_h = bottom - top;
  const int src_w = src.right - src.left, src_h = src.bottom - src.top;
  if (bpp_ == 32) {
    basic_lib::ScopedMemoryDc mem(::CreateCompatibleDC(dc));
    if (!mem) return;
    basic_lib::ScopedSelectObject select(mem.Get(), bitmap_);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::AlphaBlend(dc, left, top, dst_w, dst_h, mem.Get(), src.left, src.top, src_w, src_h, blend);
    return;
  }
  const int old_mode = ::SetStretchBltMode(dc, COLORONCOLOR);
  if (bitmap_) {
    basic_lib::ScopedMemoryDc mem(::CreateCompatibleDC(dc));
    if (mem) {
      basic_lib::ScopedSelectObject select(mem.Get(), bitmap_);
      ::StretchBlt(dc, left, top, dst_w, dst_h, mem.Get(), src.left, src.top, src_w, src_h,
                   SRCCOPY);
    }
  }
  if (old_mode) ::SetStretchBltMode(dc, old_mode);
}

bool FCMemoryDCScope::Open(HBITMAP bitmap, HBRUSH brush) {
  Release();
  if (!bitmap) return false;
  basic_lib::ScopedWindowDc screen(nullptr);
  dc_ = ::CreateCompatibleDC(screen.Get());
  if (!dc_) return false;
  bitmap_ = bitmap;
  old_bitmap_ = ::SelectObject(dc_, bitmap);
  old_brush_ = ::SelectObject(dc_, ::GetStockObject(NULL_BRUSH));
  ::SetBkMode(dc_, TRANSPARENT);
  ::SetStretchBltMode(dc_, COLORONCOLOR);
  if (brush) {
    BITMAP header = {};
    if (::GetObjectW(bitmap, sizeof(header), &header)) {
      RECT all = {0, 0, header.bmWidth, header.bmHeight < 0 ? -header.bmHeight : header.bmHeight};
      ::FillRect(dc_, &all, brush);
    }
  }
  return true;
}

void FCMemoryDCScope::Release() {
  if (!dc_) return;
  if (old_bitmap_) ::SelectObject(dc_, old_bitmap_);
  if (old_brush_) ::SelectObject(dc_, old_brush_);
  ::DeleteDC(dc_);
  dc_ = nullptr;
  bitmap_ = nullptr;
  old_bitmap_ = old_brush_ = nullptr;
}

HBITMAP CompositeOnCanvas(FCObjImage* image, COLORREF canvas_color) {
  if (!image || !image->IsValid()) return nullptr;
  const int w = image->Width(), h = image->Height();
  basic_lib::ScopedBitmap result;
  {
    basic_lib::ScopedWindowDc screen(nullptr);
    result.Reset(::CreateCompatibleBitmap(screen.Get(), w, h));
  }
  if (result) {
    basic_lib::ScopedBrush brush(::CreateSolidBrush(canvas_color));
    FCMemoryDCScope scope;
    if (brush && scope.Open(result.Get(), brush.Get())) {
      image->Draw(scope.GetDC(), 0, 0, w, h);
    } else {
      result.Reset();
    }
  }
  image->Destroy();
  return result.Release();
}
