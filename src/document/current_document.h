#pragma once

#include <wincodec.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "basic_lib/com_ptr.h"
#include "image/wic_image_loader.h"
#include "view_render/async_task_queue.h"
#include "view_render/render_document.h"

// Where the document reports what the title shows about the opened image (the title text sits
// in an upper layer and installs this).
using TitleInfoSink =
    std::function<void(const std::wstring& path, const std::wstring& shot_date, SIZE size)>;

// The one open image: its path, decoder, render queue and the preview bitmap used to show a
// rotated image at once. Interface thread only.
class CurrentDocument : public view_render::IRenderDocument {
 public:
  CurrentDocument();
  ~CurrentDocument() override;
  CurrentDocument(const CurrentDocument&) = delete;
  CurrentDocument& operator=(const CurrentDocument&) = delete;

  // The process-wide document, created on first use, ended at exit.
  static CurrentDocument& Instance();
  static void DestroyInstance();

  // What opening needs from the settings, and the title's receiver; set by the application.
  void SetLoaderOptions(const image::LoaderOptions& options) { loader_options_ = options; }
  void SetTitleInfoSink(TitleInfoSink sink) { title_sink_ = std::move(sink); }

  // Opens the image at path (empty: closes it). A missing or unreadable file keeps the path
  // with no loader.
  void Open(const std::wstring& path);
  // Stops rendering and releases everything, the render queue included.
  void Close();
  void StopRendering() override;
  // Lets every running render task finish (their completions are queued); file operations
  // call it first so that nothing still reads the file.
  void FlushQueue();
  // The frame on screen before a rotation; a wider bitmap replaces a narrower preview.
  void SetPreview(HBITMAP bitmap);
  // Displayed width below 1280 and height above four times the width.
  bool IsLongImage() const;

  const std::wstring& GetPath() const override { return path_; }
  std::shared_ptr<CWICImageLoader> GetLoader() const override { return loader_; }
  CAsyncTaskQueue* GetRenderQueue() override;
  bool UsePreview() const override { return use_preview_ != 0; }
  IWICBitmap* GetPreview() const override { return preview_.Get(); }
  bool HasRenderQueue() const { return render_queue_ != nullptr; }

 private:
  std::wstring path_;
  std::shared_ptr<CWICImageLoader> loader_;
  std::unique_ptr<CAsyncTaskQueue> render_queue_;
  int use_preview_ = 0;
  basic_lib::ComPtr<IWICBitmap> preview_;
  image::LoaderOptions loader_options_;
  TitleInfoSink title_sink_;
};
