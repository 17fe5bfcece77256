#include "view_render/thumbnail_cache.h"

#include <shlobj.h>

#include <algorithm>
#include <atomic>

#include "image/obj_image.h"
#include "image/orientation.h"
#include "image/wic_factory.h"

using basic_lib::ComPtr;

namespace view_render {
namespace {

std::atomic<HRESULT> g_last_create_result{S_OK};

constexpr UINT kFastExtractSize = 256;
// Before Windows 10 the cache's "large" bitmaps come out near 1024; from this side on they are
// good enough for a target of up to kOldSystemGoodTarget.
constexpr LONG kOldSystemGoodSide = 1020;
constexpr int kOldSystemGoodTarget = 1080;

// From sRGB into the image's own profile; the untransformed source on any failure.
ComPtr<IWICBitmapSource> ReverseColourTransform(IWICImagingFactory* factory,
                                                IWICBitmapSource* source,
                                                IWICColorContext* context) {
  ComPtr<IWICBitmapSource> result(source);
  if (!factory || !source || !context) return result;
  ComPtr<IWICColorContext> srgb;
  ComPtr<IWICColorTransform> transform;
  if (FAILED(factory->CreateColorContext(&srgb)) || FAILED(srgb->InitializeFromExifColorSpace(1)) ||
      FAILED(factory->CreateColorTransformer(&transform)) ||
      FAILED(transform->Initialize(source, srgb.Get(), context, GUID_WICPixelFormat32bppBGRA))) {
    return result;
  }
  result = transform;
  return result;
}

}  // namespace

HBITMAP ThumbnailBitmap::Get() const {
  if (owned) return owned.Get();
  HBITMAP bitmap = nullptr;
  if (shared && SUCCEEDED(shared->GetSharedBitmap(&bitmap))) return bitmap;
  return nullptr;
}

SIZE ThumbnailBitmap::Size() const {
  SIZE size = {0, 0};
  HBITMAP bitmap = Get();
  BITMAP info = {};
  if (bitmap && ::GetObjectW(bitmap, sizeof(info), &info) == sizeof(info)) {
    size.cx = info.bmWidth;
    size.cy = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  }
  return size;
}

void ThumbnailBitmap::Reset() {
  shared.Reset();
  owned.Reset();
  alpha = WTSAT_UNKNOWN;
  flags = WTS_DEFAULT;
}

bool CShellThumbnailSource::GetThumbnail(const std::wstring& path, UINT size, WTS_FLAGS flags,
                                         ThumbnailBitmap* out) {
  out->Reset();
  ComPtr<IThumbnailCache> cache;
  const HRESULT created = ::CoCreateInstance(CLSID_LocalThumbnailCache, nullptr,
                                             CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&cache));
  g_last_create_result.store(created);
  if (FAILED(created) || !cache) return false;
  ComPtr<IShellItem> item;
  if (FAILED(::SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&item)))) {
    return false;
  }
  ComPtr<ISharedBitmap> bitmap;
  WTS_CACHEFLAGS cache_flags = WTS_DEFAULT;
  if (FAILED(cache->GetThumbnail(item.Get(), size, flags, &bitmap, &cache_flags, nullptr)) ||
      !bitmap) {
    return false;
  }
  WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
  if (FAILED(bitmap->GetFormat(&alpha))) alpha = WTSAT_UNKNOWN;
  out->shared = bitmap;
  out->alpha = alpha;
  out->flags = cache_flags;
  if (out->IsEmpty()) {
    out->Reset();
    return false;
  }
  return true;
}

HRESULT CShellThumbnailSource::LastCreateResult() { return g_last_create_result.load(); }

UINT LargeThumbnailSize(const SystemVersion& version) {
  return version.windows10_or_later ? 1280u : 1024u;
}

ThumbnailBitmap RequestThumbnail(IThumbnailSource* source, const std::wstring& path,
                                 ThumbnailKind kind, int size, const SystemVersion& version) {
  ThumbnailBitmap result;
  if (!source || path.empty()) return result;
  const UINT large = LargeThumbnailSize(version);
  const UINT requested = size > 0 ? static_cast<UINT>(size) : 0u;
  switch (kind) {
    case ThumbnailKind::kQuick: {
      if (requested > large) {
        source->GetThumbnail(path, requested, WTS_INCACHEONLY | WTS_SCALETOREQUESTEDSIZE, &result);
      } else {
        source->GetThumbnail(path, large, WTS_INCACHEONLY, &result);
      }
      if (result.IsEmpty()) {
        source->GetThumbnail(path, kFastExtractSize, WTS_FASTEXTRACT, &result);
        if (!result.IsEmpty()) result.flags = WTS_LOWQUALITY;
      } else if (!version.windows10_or_later && size <= kOldSystemGoodTarget) {
        const SIZE got = result.Size();
        if (std::max(got.cx, got.cy) >= kOldSystemGoodSide) result.flags = WTS_CACHED;
      }
      break;
    }
    case ThumbnailKind::kExact:
      source->GetThumbnail(path, requested, WTS_SCALETOREQUESTEDSIZE, &result);
      break;
    case ThumbnailKind::kLarge:
      source->GetThumbnail(path, large, WTS_EXTRACT, &result);
      break;
  }
  if (result.IsEmpty()) result.Reset();
  return result;
}

HBITMAP RenderThumbnail(const ThumbnailBitmap& thumbnail, int width, int height,
                        WICBitmapTransformOptions transform, IWICColorContext* context,
                        const image::RenderSettings& settings, const SystemVersion& version) {
  HBITMAP handle = thumbnail.Get();
  if (!handle || width <= 0 || height <= 0 ||
      !image::FitsPixelBuffer(static_cast<UINT>(width), static_cast<UINT>(height), 4)) {
    return nullptr;
  }
  ComPtr<IWICImagingFactory> factory = image::GetSharedWicFactory();
  if (!factory) return nullptr;
  ComPtr<IWICBitmap> wrapped;
  const WICBitmapAlphaChannelOption alpha =
      thumbnail.alpha == WTSAT_ARGB ? WICBitmapUseAlpha : WICBitmapIgnoreAlpha;
  if (FAILED(factory->CreateBitmapFromHBITMAP(handle, nullptr, alpha, &wrapped))) return nullptr;
  ComPtr<IWICBitmapSource> current = wrapped;
  if (!version.windows8_or_later) {
    current = image::ApplyOrientationTransform(factory.Get(), current.Get(), transform);
  }
  ComPtr<IWICBitmapSource> converted;
  if (!current ||
      FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, current.Get(), &converted))) {
    return nullptr;
  }
  ComPtr<IWICBitmapScaler> scaler;
  if (FAILED(factory->CreateBitmapScaler(&scaler)) ||
      FAILED(scaler->Initialize(converted.Get(), static_cast<UINT>(width),
                                static_cast<UINT>(height), WICBitmapInterpolationModeLinear))) {
    return nullptr;
  }
  current = scaler;
  if (context) current = ReverseColourTransform(factory.Get(), current.Get(), context);
  FCObjImage image;
  if (!image.CreateFromWicSource(current.Get(), GUID_WICPixelFormat32bppPBGRA)) return nullptr;
  if (settings.view_enhancer) settings.view_enhancer(&image);
  return CompositeOnCanvas(&image, settings.canvas_color);
}

}  // namespace view_render
