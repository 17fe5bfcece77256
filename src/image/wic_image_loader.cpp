#include "image/wic_image_loader.h"

#include <gdiplus.h>
#include <shlwapi.h>
#include <versionhelpers.h>
#include <windows.h>

#include <climits>
#include <mutex>
#include <vector>

#include "basic_lib/scoped_handle.h"
#include "image/exif_query_reader.h"
#include "image/exif_reader.h"
#include "image/obj_image.h"
#include "image/orientation.h"
#include "image/wic_factory.h"

using basic_lib::ComPtr;

namespace image {
namespace {

std::mutex g_settings_lock;
RenderSettings g_render_settings;

// ICO files may claim up to 65535 entries; nobody needs more than this many to find the largest.
constexpr UINT kMaxIconFrames = 1024;
// Metafiles carry their own frame size; rasterising beyond this is never what a viewer wants.
constexpr UINT kMaxMetafileSide = 16384;

const wchar_t kPluginName[] = L"FreeImage.dll";
const char kPluginExport[] = "load_image";
using PluginLoadImage = IUnknown*(__cdecl*)(const wchar_t* path, IWICImagingFactory* factory);

std::wstring ExecutableFolder() {
  std::vector<wchar_t> buffer(32768);
  const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return std::wstring();
  std::wstring path(buffer.data(), n);
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool ReadableSize(IWICBitmapSource* source, UINT* w, UINT* h) {
  return source && SUCCEEDED(source->GetSize(w, h)) && *w > 0 && *h > 0 && *w <= INT_MAX &&
         *h <= INT_MAX;
}

class GdiplusImage {
 public:
  GdiplusImage() = default;
  ~GdiplusImage() { Reset(); }
  GdiplusImage(const GdiplusImage&) = delete;
  GdiplusImage& operator=(const GdiplusImage&) = delete;
  void Reset(Gdiplus::GpImage* image = nullptr) {
    if (image_) Gdiplus::DllExports::GdipDisposeImage(image_);
    image_ = image;
  }
  Gdiplus::GpImage* Get() const { return image_; }

 private:
  Gdiplus::GpImage* image_ = nullptr;
};

// Metafiles that GdipCreateBitmapFromFile refuses (Wine) are drawn into a bitmap of their size.
Gdiplus::GpBitmap* RasteriseMetafile(const std::wstring& path) {
  using namespace Gdiplus::DllExports;
  GdiplusImage metafile;
  Gdiplus::GpImage* loaded = nullptr;
  if (GdipLoadImageFromFile(path.c_str(), &loaded) != Gdiplus::Ok || !loaded) return nullptr;
  metafile.Reset(loaded);
  Gdiplus::ImageType type = Gdiplus::ImageTypeUnknown;
  if (GdipGetImageType(metafile.Get(), &type) != Gdiplus::Ok ||
      type != Gdiplus::ImageTypeMetafile) {
    return nullptr;
  }
  UINT w = 0, h = 0;
  if (GdipGetImageWidth(metafile.Get(), &w) != Gdiplus::Ok ||
      GdipGetImageHeight(metafile.Get(), &h) != Gdiplus::Ok || w == 0 || h == 0 ||
      w > kMaxMetafileSide || h > kMaxMetafileSide) {
    return nullptr;
  }
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (GdipCreateBitmapFromScan0(static_cast<INT>(w), static_cast<INT>(h), 0, PixelFormat32bppARGB,
                                nullptr, &bitmap) != Gdiplus::Ok ||
      !bitmap) {
    return nullptr;
  }
  Gdiplus::GpGraphics* graphics = nullptr;
  bool drawn = false;
  if (GdipGetImageGraphicsContext(bitmap, &graphics) == Gdiplus::Ok && graphics) {
    GdipGraphicsClear(graphics, 0x00000000);
    drawn = GdipDrawImageRectI(graphics, metafile.Get(), 0, 0, static_cast<INT>(w),
                               static_cast<INT>(h)) == Gdiplus::Ok;
    GdipDeleteGraphics(graphics);
  }
  if (!drawn) {
    GdipDisposeImage(bitmap);
    return nullptr;
  }
  return bitmap;
}

ComPtr<IWICBitmap> OpenWithGdiplus(IWICImagingFactory* factory, const std::wstring& path) {
  using namespace Gdiplus::DllExports;
  if (!factory) return nullptr;
  Gdiplus::GpBitmap* opened = nullptr;
  if (GdipCreateBitmapFromFile(path.c_str(), &opened) != Gdiplus::Ok || !opened) {
    opened = RasteriseMetafile(path);
  }
  if (!opened) return nullptr;
  GdiplusImage image;
  image.Reset(opened);
  UINT w = 0, h = 0;
  if (GdipGetImageWidth(image.Get(), &w) != Gdiplus::Ok ||
      GdipGetImageHeight(image.Get(), &h) != Gdiplus::Ok || w == 0 || h == 0 ||
      !FitsPixelBuffer(w, h, 4) || w > INT_MAX || h > INT_MAX) {
    return nullptr;
  }
  Gdiplus::GpRect rect(0, 0, static_cast<INT>(w), static_cast<INT>(h));
  Gdiplus::BitmapData data = {};
  if (GdipBitmapLockBits(opened, &rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) !=
      Gdiplus::Ok) {
    return nullptr;
  }
  ComPtr<IWICBitmap> bitmap;
  if (data.Stride > 0 && data.Scan0 && FitsPixelBuffer(static_cast<UINT>(data.Stride), h, 1)) {
    const UINT stride = static_cast<UINT>(data.Stride);
    if (FAILED(factory->CreateBitmapFromMemory(w, h, GUID_WICPixelFormat32bppBGRA, stride,
                                               stride * h, static_cast<BYTE*>(data.Scan0),
                                               &bitmap))) {
      bitmap.Reset();
    }
  }
  GdipBitmapUnlockBits(opened, &data);
  return bitmap;
}

// The plug-in's object is copied into a factory bitmap before the library goes away, so nothing
// we keep can point into its unloaded code.
ComPtr<IWICBitmap> OpenWithPlugin(IWICImagingFactory* factory, const std::wstring& path,
                                  const std::wstring& folder) {
  if (!factory) return nullptr;
  std::wstring dir = folder.empty() ? ExecutableFolder() : folder;
  if (dir.empty()) return nullptr;
  const std::wstring library = dir + L"\\" + kPluginName;
  const DWORD attributes = ::GetFileAttributesW(library.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return nullptr;
  }
  basic_lib::ScopedModule module(
      ::LoadLibraryExW(library.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!module) return nullptr;
  auto load_image = reinterpret_cast<PluginLoadImage>(
      reinterpret_cast<void*>(::GetProcAddress(module.Get(), kPluginExport)));
  if (!load_image) return nullptr;
  ComPtr<IWICBitmap> copy;
  {
    ComPtr<IUnknown> result;
    result.Attach(load_image(path.c_str(), factory));
    ComPtr<IWICBitmapSource> source;
    UINT w = 0, h = 0;
    if (result && SUCCEEDED(result.As(&source)) && ReadableSize(source.Get(), &w, &h) &&
        FitsPixelBuffer(w, h, 16)) {
      if (FAILED(factory->CreateBitmapFromSource(source.Get(), WICBitmapCacheOnLoad, &copy))) {
        copy.Reset();
      }
    }
  }
  return copy;
}

// Wine's JPEG decoder reads pixels only: its query reader has no "/app1" block and it offers no
// colour contexts. Where the system reads them (Windows) its answers are kept.
bool HasApp1Block(IWICMetadataQueryReader* reader) {
  if (!reader) return false;
  PROPVARIANT value;
  ::PropVariantInit(&value);
  const HRESULT hr = reader->GetMetadataByName(L"/app1", &value);
  ::PropVariantClear(&value);
  return SUCCEEDED(hr);
}

ComPtr<IWICColorContext> ContextFromProfile(IWICImagingFactory* factory,
                                            const std::vector<uint8_t>& profile) {
  ComPtr<IWICColorContext> context;
  if (!factory || profile.empty() || profile.size() > UINT_MAX ||
      FAILED(factory->CreateColorContext(&context)) ||
      FAILED(context->InitializeFromMemory(profile.data(), static_cast<UINT>(profile.size())))) {
    return nullptr;
  }
  return context;
}

}  // namespace

void SetRenderSettings(const RenderSettings& settings) {
  std::lock_guard<std::mutex> hold(g_settings_lock);
  g_render_settings = settings;
}

RenderSettings GetRenderSettings() {
  std::lock_guard<std::mutex> hold(g_settings_lock);
  return g_render_settings;
}

ComPtr<IWICMetadataQueryReader> FrameQueryReader(const std::wstring& /*path*/,
                                                 IWICBitmapDecoder* /*decoder*/,
                                                 IWICBitmapFrameDecode* frame) {
  ComPtr<IWICMetadataQueryReader> reader;
  if (!frame || FAILED(frame->GetMetadataQueryReader(&reader))) return nullptr;
  return reader;
}

}  // namespace image

CWICImageLoader::~CWICImageLoader() = default;

std::shared_ptr<CWICImageLoader> CWICImageLoader::OpenImage(const std::wstring& path,
                                                            const image::LoaderOptions& options) {
  if (path.empty()) return nullptr;
  if (auto loader = OpenWithWic(path, options)) return loader;
  ComPtr<IWICImagingFactory> factory = image::GetSharedWicFactory();
  if (auto bitmap = image::OpenWithGdiplus(factory.Get(), path)) return FromBitmap(bitmap.Get());
  if (auto bitmap = image::OpenWithPlugin(factory.Get(), path, options.plugin_folder)) {
    return FromBitmap(bitmap.Get());
  }
  return nullptr;
}

std::shared_ptr<CWICImageLoader> CWICImageLoader::OpenWithWic(const std::wstring& path,
                                                              const image::LoaderOptions& options) {
  ComPtr<IWICImagingFactory> factory = image::GetSharedWicFactory();
  if (!factory || path.empty()) return nullptr;
  ComPtr<IStream> stream;
  if (FAILED(::SHCreateStreamOnFileEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_NONE,
                                      FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, &stream))) {
    return nullptr;
  }
  std::shared_ptr<CWICImageLoader> loader(new CWICImageLoader());
  if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              &loader->decoder_))) {
    return nullptr;
  }
  stream.Reset();

  GUID container = {};
  UINT frame_count = 0;
  if (FAILED(loader->decoder_->GetFrameCount(&frame_count)) || frame_count == 0) return nullptr;
  ComPtr<IWICBitmapFrameDecode> chosen;
  if (SUCCEEDED(loader->decoder_->GetContainerFormat(&container)) &&
      IsEqualGUID(container, GUID_ContainerFormatIco)) {
    UINT best_width = 0;
    const UINT n = frame_count < image::kMaxIconFrames ? frame_count : image::kMaxIconFrames;
    for (UINT i = 0; i < n; ++i) {
      ComPtr<IWICBitmapFrameDecode> frame;
      UINT w = 0, h = 0;
      if (FAILED(loader->decoder_->GetFrame(i, &frame)) || FAILED(frame->GetSize(&w, &h))) continue;
      if (!chosen || w > best_width) {
        chosen = frame;
        best_width = w;
      }
    }
  } else if (FAILED(loader->decoder_->GetFrame(0, &chosen))) {
    chosen.Reset();
  }
  if (!chosen || !loader->SelectFrame(path, chosen.Get(), options)) return nullptr;
  const SIZE size = loader->GetSize();
  if (size.cx <= 0 || size.cy <= 0) return nullptr;
  return loader;
}

std::shared_ptr<CWICImageLoader> CWICImageLoader::FromBitmap(IWICBitmapSource* bitmap) {
  UINT w = 0, h = 0;
  if (!image::ReadableSize(bitmap, &w, &h)) return nullptr;
  std::shared_ptr<CWICImageLoader> loader(new CWICImageLoader());
  loader->source_ = bitmap;
  return loader;
}

bool CWICImageLoader::SelectFrame(const std::wstring& path, IWICBitmapFrameDecode* frame,
                                  const image::LoaderOptions& options) {
  ComPtr<IWICImagingFactory> factory = image::GetSharedWicFactory();
  UINT contexts = 0;
  const HRESULT contexts_hr = frame->GetColorContexts(0, nullptr, &contexts);
  if (factory && SUCCEEDED(contexts_hr) && contexts >= 1) {
    ComPtr<IWICColorContext> context;
    if (SUCCEEDED(factory->CreateColorContext(&context))) {
      IWICColorContext* list[1] = {context.Get()};
      UINT actual = 0;
      if (SUCCEEDED(frame->GetColorContexts(1, list, &actual)) && actual >= 1) {
        color_context_ = context;
      }
    }
  }
  if (FAILED(frame->QueryInterface(IID_PPV_ARGS(&source_)))) return false;

  // The one place the frame's metadata reader is chosen.
  ComPtr<IWICMetadataQueryReader> reader =
      options.query_reader ? options.query_reader(path, decoder_.Get(), frame)
                           : image::FrameQueryReader(path, decoder_.Get(), frame);

  GUID container = GUID_NULL;
  const bool jpeg = decoder_ && SUCCEEDED(decoder_->GetContainerFormat(&container)) &&
                    IsEqualGUID(container, GUID_ContainerFormatJpeg);
  const bool own_exif = jpeg && !image::HasApp1Block(reader.Get());
  const bool own_profile = jpeg && FAILED(contexts_hr);
  image::JpegMetadata own;
  if ((own_exif || own_profile) && image::ReadJpegMetadataFromFile(path, &own)) {
    ComPtr<IWICMetadataQueryReader> exif_reader;
    if (own_exif && own.exif && SUCCEEDED(image::CreateExifQueryReader(own.exif, &exif_reader))) {
      reader = exif_reader;
    }
    if (own_profile) {
      if (auto context = image::ContextFromProfile(factory.Get(), own.icc_profile)) {
        color_context_ = context;
      }
    }
  }
  image::ReadFrameMetadata(frame, reader.Get(), &info_);

  info_.orientation = image::ApplyOrientationPolicy(info_.orientation, ::IsWindows8OrGreater(),
                                                    options.orientation_by_tag);
  orientation_.store(info_.orientation);
  return true;
}

SIZE CWICImageLoader::GetSize() const {
  SIZE size = {0, 0};
  UINT w = 0, h = 0;
  if (!image::ReadableSize(source_.Get(), &w, &h)) return size;
  if (image::TransformSwapsAxes(GetTransform())) std::swap(w, h);
  size.cx = static_cast<LONG>(w);
  size.cy = static_cast<LONG>(h);
  return size;
}

WICBitmapTransformOptions CWICImageLoader::GetTransform() const {
  return image::OrientationToTransform(orientation_.load());
}

int CWICImageLoader::Rotate(bool clockwise) {
  const int next = image::RotateOrientation(orientation_.load(), clockwise);
  orientation_.store(next);
  info_.orientation = next;
  return next;
}

HBITMAP CWICImageLoader::RenderFitted(int width, int height) const {
  return RenderFitted(width, height, image::GetRenderSettings());
}

HBITMAP CWICImageLoader::RenderFitted(int width, int height,
                                      const image::RenderSettings& settings) const {
  if (width <= 0 || height <= 0 ||
      !image::FitsPixelBuffer(static_cast<UINT>(width), static_cast<UINT>(height), 4)) {
    return nullptr;
  }
  ComPtr<IWICImagingFactory> factory = image::GetSharedWicFactory();
  if (!factory || !source_) return nullptr;
  ComPtr<IWICBitmapSource> current;
  if (FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, source_.Get(), &current))) {
    return nullptr;
  }
  const WICBitmapTransformOptions transform = GetTransform();
  UINT target_w = static_cast<UINT>(width), target_h = static_cast<UINT>(height);
  if (image::TransformSwapsAxes(transform)) std::swap(target_w, target_h);
  UINT w = 0, h = 0;
  if (!image::ReadableSize(current.Get(), &w, &h)) return nullptr;
  if (w != target_w || h != target_h) {
    ComPtr<IWICBitmapScaler> scaler;
    if (FAILED(factory->CreateBitmapScaler(&scaler)) ||
        FAILED(scaler->Initialize(current.Get(), target_w, target_h,
                                  WICBitmapInterpolationModeFant))) {
      return nullptr;
    }
    current = scaler;
  }
  if (color_context_ && !settings.ignore_embedded_icc) {
    current = image::ApplySrgbTransform(factory.Get(), current.Get(), color_context_.Get());
  }
  current = image::ApplyOrientationTransform(factory.Get(), current.Get(), transform);

  FCObjImage fitted;
  if (!fitted.CreateFromWicSource(current.Get(), GUID_WICPixelFormat32bppPBGRA)) return nullptr;
  if (settings.view_enhancer) settings.view_enhancer(&fitted);
  return CompositeOnCanvas(&fitted, settings.canvas_color);
}

ComPtr<IWICBitmap> CWICImageLoader::CreateFullBitmap(bool apply_colour_profile) const {
  ComPtr<IWICImagingFactory> factory = image::GetSharedWicFactory();
  if (!factory || !source_) return nullptr;
  ComPtr<IWICBitmap> base;
  WICPixelFormatGUID format = {};
  if (SUCCEEDED(source_.As(&base)) && SUCCEEDED(base->GetPixelFormat(&format)) &&
      IsEqualGUID(format, GUID_WICPixelFormat32bppPBGRA)) {
    // Already a decoded frame in the final format.
  } else {
    base.Reset();
    ComPtr<IWICBitmapSource> current = source_;
    if (apply_colour_profile && color_context_) {
      current = image::ApplySrgbTransform(factory.Get(), current.Get(), color_context_.Get());
    }
    ComPtr<IWICBitmapSource> converted;
    UINT w = 0, h = 0;
    if (FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, current.Get(), &converted)) ||
        !image::ReadableSize(converted.Get(), &w, &h) || !image::FitsPixelBuffer(w, h, 4) ||
        FAILED(factory->CreateBitmapFromSource(converted.Get(), WICBitmapCacheOnLoad, &base))) {
      return nullptr;
    }
  }
  ComPtr<IWICBitmapSource> oriented =
      image::ApplyOrientationTransform(factory.Get(), base.Get(), GetTransform());
  ComPtr<IWICBitmap> result;
  if (!oriented || FAILED(oriented.As(&result))) return nullptr;
  return result;
}

ComPtr<IWICBitmapSource> CWICImageLoader::ScaleTo(int width, int height,
                                                  ComPtr<IWICColorContext>* color_context) const {
  if (color_context) *color_context = color_context_;
  if (width <= 0 || height <= 0) return nullptr;
  ComPtr<IWICImagingFactory> factory = image::GetSharedWicFactory();
  if (!factory) return nullptr;
  ComPtr<IWICBitmap> full = CreateFullBitmap(false);
  if (!full) return nullptr;
  // HighQualityCubic (4) is missing from mingw's header; older systems reject it, so Fant.
  const auto kHighQualityCubic = static_cast<WICBitmapInterpolationMode>(4);
  const WICBitmapInterpolationMode mode =
      ::IsWindows10OrGreater() ? kHighQualityCubic : WICBitmapInterpolationModeFant;
  for (WICBitmapInterpolationMode m : {mode, WICBitmapInterpolationModeFant}) {
    ComPtr<IWICBitmapScaler> scaler;
    if (SUCCEEDED(factory->CreateBitmapScaler(&scaler)) &&
        SUCCEEDED(scaler->Initialize(full.Get(), static_cast<UINT>(width),
                                     static_cast<UINT>(height), m))) {
      return scaler;
    }
  }
  return nullptr;
}
