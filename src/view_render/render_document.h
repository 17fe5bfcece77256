#pragma once

#include <wincodec.h>

#include <memory>
#include <string>

class CAsyncTaskQueue;
class CWICImageLoader;

namespace view_render {

// What the renderer needs of the open image. The current document implements it; the renderer
// never includes the document module, which sits above it.
class IRenderDocument {
 public:
  virtual ~IRenderDocument() = default;
  virtual const std::wstring& GetPath() const = 0;
  virtual std::shared_ptr<CWICImageLoader> GetLoader() const = 0;
  // The document's render queue, created on first need.
  virtual CAsyncTaskQueue* GetRenderQueue() = 0;
  // Drops pending render tasks and cancels running ones.
  virtual void StopRendering() = 0;
  // Set after a rotation handed over the shown frame; the preview then replaces the cache.
  virtual bool UsePreview() const = 0;
  virtual IWICBitmap* GetPreview() const = 0;
};

}  // namespace view_render
