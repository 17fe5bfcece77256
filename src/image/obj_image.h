#pragma once

#include <wincodec.h>
#include <windows.h>

#include <memory>

// Polymorphic base of graphic objects; only its virtual destructor is used.
class FCObjGraph {
 public:
  FCObjGraph() = default;
  virtual ~FCObjGraph() = default;
  FCObjGraph(const FCObjGraph&) = delete;
  FCObjGraph& operator=(const FCObjGraph&) = delete;

 private:
  int graph_reserved_[2] = {0, 0};
};

// The one raster type: a DIB section plus a table of row pointers, row 0 at the top whatever the
// memory order. 32 bpp images from the decoders are top-down, premultiplied BGRA.
class FCObjImage : public FCObjGraph {
 public:
  FCObjImage() = default;
  ~FCObjImage() override;

  // Negative height asks for top-down rows. Bits per pixel: 8, 24 or 32.
  bool Create(int width, int height, int bits_per_pixel);
  // Converts to pixel_format (normally GUID_WICPixelFormat32bppPBGRA) and copies in one pass.
  bool CreateFromWicSource(IWICBitmapSource* source, REFWICPixelFormatGUID pixel_format);
  // Top-down 32 bpp view over memory owned elsewhere (no bitmap handle); call Destroy() before
  // the owner frees the memory.
  void Attach(int width, int height, BYTE* pixels);
  void Destroy();

  bool IsValid() const { return pixels_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int ColorBits() const { return bpp_; }
  int SignedHeight() const { return signed_height_; }
  int Stride() const { return StrideFor(width_, bpp_); }
  BYTE* GetMemStart() const { return pixels_; }
  HBITMAP GetHandle() const { return bitmap_; }
  BYTE* GetBits(int y) const { return rows_[y]; }
  BYTE* GetBits(int x, int y) const { return rows_[y] + x * bpp_ / 8; }

  // Blends (32 bpp, premultiplied) or stretches (8/24 bpp) into dc; source_rect null = whole.
  void Draw(HDC dc, int left, int top, int right, int bottom,
            const RECT* source_rect = nullptr) const;

  // Row padding to 4 bytes; 0 when the size does not fit a 32-bit signed stride.
  static int StrideFor(int width, int bits_per_pixel);

 private:
  void ClearHeader();

  int width_ = 0;
  int height_ = 0;
  int bpp_ = 0;
  int signed_height_ = 0;
  BYTE* pixels_ = nullptr;
  std::unique_ptr<BYTE*[]> rows_;
  HBITMAP bitmap_ = nullptr;
};

// Selects a bitmap into a fresh screen-compatible memory DC and restores everything on Release().
class FCMemoryDCScope {
 public:
  FCMemoryDCScope() = default;
  ~FCMemoryDCScope() { Release(); }
  FCMemoryDCScope(const FCMemoryDCScope&) = delete;
  FCMemoryDCScope& operator=(const FCMemoryDCScope&) = delete;

  // With a brush the whole bitmap is filled with it first.
  bool Open(HBITMAP bitmap, HBRUSH brush = nullptr);
  void Release();
  HDC GetDC() const { return dc_; }

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr;
  HGDIOBJ old_brush_ = nullptr;
};

// Draws image over a device-compatible bitmap filled with the canvas colour and destroys the
// image. The result is opaque: transparent pixels show the canvas. Null on failure.
HBITMAP CompositeOnCanvas(FCObjImage* image, COLORREF canvas_color);
