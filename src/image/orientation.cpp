#include "image/orientation.h"

#include <cstring>
#include <new>

namespace image {

WICBitmapTransformOptions OrientationToTransform(int orientation) {
  switch (orientation) {
    case 2:
      return WICBitmapTransformFlipHorizontal;
    case 3:
      return WICBitmapTransformRotate180;
    case 4:
      return WICBitmapTransformFlipVertical;
    case 5:
      return static_cast<WICBitmapTransformOptions>(WICBitmapTransformFlipVertical |
                                                    WICBitmapTransformRotate90);
    case 6:
      return WICBitmapTransformRotate90;
    case 7:
      return static_cast<WICBitmapTransformOptions>(WICBitmapTransformFlipHorizontal |
                                                    WICBitmapTransformRotate90);
    case 8:
      return WICBitmapTransformRotate270;
    default:
      return WICBitmapTransformRotate0;
  }
}

int RotateOrientation(int orientation, bool clockwise) {
  if (orientation < 1) orientation = 1;
  if (orientation > 8) orientation = 8;
  // Clockwise cycles 1-6-3-8 and 2-7-4-5; the table holds the clockwise successor.
  static const int kClockwise[9] = {0, 6, 7, 8, 5, 2, 3, 4, 1};
  static const int kCounter[9] = {0, 8, 5, 6, 7, 4, 1, 2, 3};
  return clockwise ? kClockwise[orientation] : kCounter[orientation];
}

int ApplyOrientationPolicy(int orientation, bool windows8_or_later, bool orientation_by_tag) {
  return (!windows8_or_later && !orientation_by_tag) ? 0 : orientation;
}

bool FitsPixelBuffer(UINT width, UINT height, UINT bytes_per_pixel) {
  if (width == 0 || height == 0 || bytes_per_pixel == 0) return false;
  const unsigned long long bytes =
      static_cast<unsigned long long>(width) * height * bytes_per_pixel;
  // Stay well inside what a 32-bit process can allocate and what a UINT size can express.
  return bytes <= 0x7FFFFFFFull;
}

bool TransformPixels32(const BYTE* src, UINT width, UINT height, UINT src_stride,
                       WICBitmapTransformOptions transform, std::vector<BYTE>* dst, UINT* dst_w,
                       UINT* dst_h) {
  if (!src || !dst || !FitsPixelBuffer(width, height, 4) || src_stride < width * 4) return false;
  const bool flip_h = (transform & WICBitmapTransformFlipHorizontal) != 0;
  const bool flip_v = (transform & WICBitmapTransformFlipVertical) != 0;
  const int turns = transform & 3;
  const UINT out_w = (turns & 1) ? height : width;
  const UINT out_h = (turns & 1) ? width : height;
  dst->assign(static_cast<size_t>(out_w) * out_h * 4, 0);
  BYTE* out = dst->data();
  for (UINT y = 0; y < height; ++y) {
    const BYTE* row = src + static_cast<size_t>(y) * src_stride;
    const UINT fy = flip_v ? height - 1 - y : y;
    for (UINT x = 0; x < width; ++x) {
      const UINT fx = flip_h ? width - 1 - x : x;
      UINT ox = fx, oy = fy;
      switch (turns) {
        case 1:
          ox = height - 1 - fy;
          oy = fx;
          break;
        case 2:
          ox = width - 1 - fx;
          oy = height - 1 - fy;
          break;
        case 3:
          ox = fy;
          oy = width - 1 - fx;
          break;
        default:
          break;
      }
      std::memcpy(out + (static_cast<size_t>(oy) * out_w + ox) * 4, row + x * 4, 4);
    }
  }
  *dst_w = out_w;
  *dst_h = out_h;
  return true;
}

namespace {

bool Is32bppFormat(const WICPixelFormatGUID& f) {
  return IsEqualGUID(f, GUID_WICPixelFormat32bppBGRA) ||
         IsEqualGUID(f, GUID_WICPixelFormat32bppPBGRA) ||
         IsEqualGUID(f, GUID_WICPixelFormat32bppBGR);
}

basic_lib::ComPtr<IWICBitmapSource> TurnPixelsOurselves(IWICImagingFactory* factory,
                                                        IWICBitmapSource* source,
                                                        WICBitmapTransformOptions transform) {
  basic_lib::ComPtr<IWICBitmapSource> input = source;
  WICPixelFormatGUID format = {};
  if (FAILED(input->GetPixelFormat(&format))) return nullptr;
  if (!Is32bppFormat(format)) {
    basic_lib::ComPtr<IWICBitmapSource> converted;
    if (FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, source, &converted))) {
      return nullptr;
    }
    input = converted;
    format = GUID_WICPixelFormat32bppBGRA;
  }
  UINT w = 0, h = 0;
  if (FAILED(input->GetSize(&w, &h)) || !FitsPixelBuffer(w, h, 4)) return nullptr;
  std::vector<BYTE> pixels;
  std::vector<BYTE> turned;
  try {
    pixels.resize(static_cast<size_t>(w) * h * 4);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (FAILED(input->CopyPixels(nullptr, w * 4, static_cast<UINT>(pixels.size()), pixels.data()))) {
    return nullptr;
  }
  UINT tw = 0, th = 0;
  try {
    if (!TransformPixels32(pixels.data(), w, h, w * 4, transform, &turned, &tw, &th)) {
      return nullptr;
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  pixels.clear();
  pixels.shrink_to_fit();
  basic_lib::ComPtr<IWICBitmap> bitmap;
  if (FAILED(factory->CreateBitmapFromMemory(
          tw, th, format, tw * 4, static_cast<UINT>(turned.size()), turned.data(), &bitmap))) {
    return nullptr;
  }
  return bitmap;
}

}  // namespace

basic_lib::ComPtr<IWICBitmapSource> ApplyOrientationTransform(IWICImagingFactory* factory,
                                                              IWICBitmapSource* source,
                                                              WICBitmapTransformOptions transform) {
  if (!source || transform == WICBitmapTransformRotate0 || !factory) return source;
  basic_lib::ComPtr<IWICBitmapFlipRotator> rotator;
  if (FAILED(factory->CreateBitmapFlipRotator(&rotator)) ||
      FAILED(rotator->Initialize(source, transform))) {
    return source;
  }
  basic_lib::ComPtr<IWICBitmap> bitmap;
  if (SUCCEEDED(factory->CreateBitmapFromSource(rotator.Get(), WICBitmapCacheOnLoad, &bitmap))) {
    return bitmap;
  }
  rotator.Reset();
  if (auto turned = TurnPixelsOurselves(factory, source, transform)) return turned;
  return source;
}

basic_lib::ComPtr<IWICBitmapSource> ApplySrgbTransform(IWICImagingFactory* factory,
                                                       IWICBitmapSource* source,
                                                       IWICColorContext* context) {
  if (!factory || !source || !context) return source;
  basic_lib::ComPtr<IWICColorContext> srgb;
  if (FAILED(factory->CreateColorContext(&srgb)) || FAILED(srgb->InitializeFromExifColorSpace(1))) {
    return source;
  }
  basic_lib::ComPtr<IWICColorTransform> transform;
  if (FAILED(factory->CreateColorTransformer(&transform)) ||
      FAILED(transform->Initialize(source, context, srgb.Get(), GUID_WICPixelFormat32bppBGRA))) {
    return source;
  }
  return transform;
}

}  // namespace image
