#pragma once

#include <shobjidl.h>
#include <thumbcache.h>
#include <wincodec.h>
#include <windows.h>

#include <string>

#include "basic_lib/com_ptr.h"
#include "basic_lib/scoped_handle.h"
#include "image/wic_image_loader.h"
#include "view_render/view_settings.h"

namespace view_render {

// One bitmap answered by the thumbnail cache, with the cache's quality flags.
struct ThumbnailBitmap {
  basic_lib::ComPtr<ISharedBitmap> shared;  // the system cache's bitmap (owns its HBITMAP)
  basic_lib::ScopedBitmap owned;            // a bitmap handed over directly (fake caches)
  WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
  WTS_CACHEFLAGS flags = WTS_DEFAULT;

  HBITMAP Get() const;
  bool IsEmpty() const { return Get() == nullptr; }
  // 0 x 0 when empty.
  SIZE Size() const;
  bool IsLowQuality() const { return (flags & WTS_LOWQUALITY) != 0; }
  void Reset();
};

// One GetThumbnail call on a thumbnail cache. The system cache is the default; tests hand in a
// fake that answers bitmaps with chosen flags.
class IThumbnailSource {
 public:
  virtual ~IThumbnailSource() = default;
  // False with an empty result when the cache has nothing (or does not exist). Any thread with
  // COM initialised.
  virtual bool GetThumbnail(const std::wstring& path, UINT size, WTS_FLAGS flags,
                            ThumbnailBitmap* out) = 0;
};

// The shell's local thumbnail cache, created in-process for every request. Where it is not
// registered (Wine: REGDB_E_CLASSNOTREG) every request is empty.
class CShellThumbnailSource : public IThumbnailSource {
 public:
  bool GetThumbnail(const std::wstring& path, UINT size, WTS_FLAGS flags,
                    ThumbnailBitmap* out) override;
  // Result of the last cache creation attempt (for diagnostics).
  static HRESULT LastCreateResult();
};

enum class ThumbnailKind {
  kQuick = 0,  // cache only, for the first picture on screen
  kExact = 1,  // scaled to the requested size
  kLarge = 2,  // extraction allowed: fills the system cache
};

// The large thumbnail side: 1280 on Windows 10 and later, 1024 before.
UINT LargeThumbnailSize(const SystemVersion& version);

// A request of the given kind for a target whose larger side is `size`.
ThumbnailBitmap RequestThumbnail(IThumbnailSource* source, const std::wstring& path,
                                 ThumbnailKind kind, int size, const SystemVersion& version);

// The thumbnail as a device-compatible bitmap of exactly width x height on the canvas colour.
// Before Windows 8 the cache's thumbnails are not upright, so `transform` is applied; with a
// colour context the pixels go from sRGB back into the image's own profile, matching a decode
// that ignores the profile. Null on failure.
HBITMAP RenderThumbnail(const ThumbnailBitmap& thumbnail, int width, int height,
                        WICBitmapTransformOptions transform, IWICColorContext* context,
                        const image::RenderSettings& settings, const SystemVersion& version);

}  // namespace view_render
