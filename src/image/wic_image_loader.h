#pragma once

#include <wincodec.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "basic_lib/com_ptr.h"
#include "image/image_metadata.h"

class FCObjImage;

namespace image {

// Gives the metadata query reader of the selected frame. The default asks the frame itself; a
// replacement can fall back to another reader (our own EXIF parser) for the same file.
using QueryReaderProvider = std::function<basic_lib::ComPtr<IWICMetadataQueryReader>(
    const std::wstring& path, IWICBitmapDecoder* decoder, IWICBitmapFrameDecode* frame)>;
basic_lib::ComPtr<IWICMetadataQueryReader> FrameQueryReader(const std::wstring& path,
                                                            IWICBitmapDecoder* decoder,
                                                            IWICBitmapFrameDecode* frame);

// What opening a file needs from the settings; the application fills it.
struct LoaderOptions {
  bool orientation_by_tag = false;
  // Folder that may hold the decoding plug-in "FreeImage.dll"; empty = the executable's folder.
  std::wstring plugin_folder;
  QueryReaderProvider query_reader;  // empty = FrameQueryReader
};

// Applied to the fitted frame before compositing (the effect window's view enhancement). Runs on
// a worker thread; must not touch interface objects.
using ViewEnhancer = std::function<void(FCObjImage* image)>;

// What the render operations need from the settings; copied by value into each render.
struct RenderSettings {
  bool ignore_embedded_icc = false;
  COLORREF canvas_color = RGB(255, 255, 255);
  ViewEnhancer view_enhancer;  // empty = none
};
// Process-wide render settings; set on the interface thread, read as a copy by any thread.
void SetRenderSettings(const RenderSettings& settings);
RenderSettings GetRenderSettings();

}  // namespace image

// The decoded-image source of one file: container, selected frame, metadata, colour profile.
// Created on the interface thread, then shared (shared_ptr) with render tasks on worker threads.
// Only Rotate() changes it, on the interface thread.
class CWICImageLoader {
 public:
  // WIC, then GDI+ (GDI+ must be started by the caller), then the plug-in. Null when none reads it.
  static std::shared_ptr<CWICImageLoader> OpenImage(const std::wstring& path,
                                                    const image::LoaderOptions& options = {});
  // The WIC path alone; null when the container or frame cannot be read or is empty.
  static std::shared_ptr<CWICImageLoader> OpenWithWic(const std::wstring& path,
                                                      const image::LoaderOptions& options = {});
  // A ready bitmap (GDI+ and plug-in paths): no decoder, empty info, no colour context.
  static std::shared_ptr<CWICImageLoader> FromBitmap(IWICBitmapSource* bitmap);

  ~CWICImageLoader();
  CWICImageLoader(const CWICImageLoader&) = delete;
  CWICImageLoader& operator=(const CWICImageLoader&) = delete;

  // Displayed size (after the orientation transform); 0 x 0 without a source.
  SIZE GetSize() const;
  const ImageMetadata& GetInfo() const { return info_; }
  int GetOrientation() const { return orientation_.load(); }
  IWICColorContext* GetColorContext() const { return color_context_.Get(); }
  IWICBitmapDecoder* GetDecoder() const { return decoder_.Get(); }
  IWICBitmapSource* GetSource() const { return source_.Get(); }
  WICBitmapTransformOptions GetTransform() const;
  // A quarter turn of the orientation without touching pixels; returns the new orientation.
  int Rotate(bool clockwise);

  // Device-compatible bitmap of exactly width x height in displayed orientation, composited on
  // the canvas colour. Null on any failure. Safe on worker threads.
  HBITMAP RenderFitted(int width, int height) const;
  HBITMAP RenderFitted(int width, int height, const image::RenderSettings& settings) const;
  // The whole frame as an in-memory 32bpp bitmap in displayed orientation.
  basic_lib::ComPtr<IWICBitmap> CreateFullBitmap(bool apply_colour_profile) const;
  // CreateFullBitmap(false) scaled with the best interpolation the system has, plus the colour
  // context for the encoder.
  basic_lib::ComPtr<IWICBitmapSource> ScaleTo(
      int width, int height, basic_lib::ComPtr<IWICColorContext>* color_context) const;

 private:
  CWICImageLoader() = default;
  bool SelectFrame(const std::wstring& path, IWICBitmapFrameDecode* frame,
                   const image::LoaderOptions& options);

  // Released in reverse order: colour context, info, source, decoder.
  basic_lib::ComPtr<IWICBitmapDecoder> decoder_;
  basic_lib::ComPtr<IWICBitmapSource> source_;
  ImageMetadata info_;
  basic_lib::ComPtr<IWICColorContext> color_context_;
  std::atomic<int> orientation_{0};
};
