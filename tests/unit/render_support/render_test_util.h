#pragma once

#include <wincodec.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "basic_lib/com_ptr.h"
#include "basic_lib/scoped_handle.h"
#include "image/wic_image_loader.h"
#include "view_render/async_task_queue.h"
#include "view_render/render_document.h"
#include "view_render/thumbnail_cache.h"

namespace render_test {

// COM, GDI+ and the shared WIC factory for a whole test program.
void InstallRenderEnvironment();

// Runs the message loop until cond holds or the deadline passes.
bool PumpUntil(const std::function<bool()>& cond, DWORD timeout_ms = 20000);

// A fresh folder under LUMORA_TEST_TMP (Windows form, no trailing slash).
std::wstring MakeTempFolder(const std::wstring& name);

// Left half kLeftColour, right half kRightColour (BGRA bytes in memory order).
constexpr COLORREF kLeftColour = RGB(200, 40, 30);
constexpr COLORREF kRightColour = RGB(20, 60, 210);
// Writes a two-colour picture through WIC (container: GUID_ContainerFormatJpeg or Png).
bool WriteTwoColourImage(const std::wstring& path, UINT width, UINT height, const GUID& container);
// The same pattern as a procedural bitmap source: any size without holding its pixels.
basic_lib::ComPtr<IWICBitmapSource> MakePatternSource(UINT width, UINT height);
// A device-compatible bitmap of one colour (thumbnails for the fake cache).
HBITMAP MakeSolidBitmap(int width, int height, COLORREF colour);
// Colour at (x, y) of a bitmap, 0x00BBGGRR like COLORREF.
COLORREF BitmapPixel(HBITMAP bitmap, int x, int y);
// Near within tolerance per channel (scalers and JPEG differ a little).
bool ColourNear(COLORREF a, COLORREF b, int tolerance = 40);

// A queue that accepts tasks but never runs them (MaxRunning 0).
class CHeldQueue : public CAsyncTaskQueue {
 protected:
  int MaxRunning() override { return 0; }
};

// A document under the test's control.
class FakeDocument : public view_render::IRenderDocument {
 public:
  explicit FakeDocument(bool run_tasks = true) : run_tasks_(run_tasks) {}
  bool OpenFile(const std::wstring& path);
  void SetLoader(std::shared_ptr<CWICImageLoader> loader, const std::wstring& path);

  const std::wstring& GetPath() const override { return path_; }
  std::shared_ptr<CWICImageLoader> GetLoader() const override { return loader_; }
  CAsyncTaskQueue* GetRenderQueue() override;
  void StopRendering() override;
  bool UsePreview() const override { return use_preview_; }
  IWICBitmap* GetPreview() const override { return preview_.Get(); }

  bool use_preview_ = false;
  basic_lib::ComPtr<IWICBitmap> preview_;
  int stop_count_ = 0;
  bool HasQueue() const { return queue_ != nullptr; }

 private:
  bool run_tasks_;
  std::wstring path_;
  std::shared_ptr<CWICImageLoader> loader_;
  std::unique_ptr<CAsyncTaskQueue> queue_;
};

// A thumbnail cache that answers by rule and records every call. Thread-safe.
class FakeThumbnailSource : public view_render::IThumbnailSource {
 public:
  struct Call {
    std::wstring path;
    UINT size;
    WTS_FLAGS flags;
  };
  // Answers a call whose flags equal `flags` (any path when path is empty) with a bitmap of
  // side x side in `colour` and the cache flags `result_flags`.
  void AddAnswer(WTS_FLAGS flags, int width, int height, WTS_CACHEFLAGS result_flags,
                 COLORREF colour = RGB(0, 255, 0), const std::wstring& path = std::wstring());
  // Calls for `path` with these flags wait until Release() (a slow extraction).
  void HoldCalls(const std::wstring& path, WTS_FLAGS flags);
  void Release();
  std::vector<Call> Calls();
  size_t CallCount();

  bool GetThumbnail(const std::wstring& path, UINT size, WTS_FLAGS flags,
                    view_render::ThumbnailBitmap* out) override;

 private:
  struct Answer {
    WTS_FLAGS flags;
    int width;
    int height;
    WTS_CACHEFLAGS result_flags;
    COLORREF colour;
    std::wstring path;
  };
  std::mutex lock_;
  std::vector<Answer> answers_;
  std::vector<Call> calls_;
  std::wstring held_path_;
  WTS_FLAGS held_flags_ = WTS_NONE;
  basic_lib::ScopedKernelHandle release_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// A top-level window (never shown) that records the messages it gets.
class RecordingWindow {
 public:
  RecordingWindow();
  ~RecordingWindow();
  HWND Get() const { return wnd_; }
  int Count(UINT message) const;

 private:
  static LRESULT CALLBACK Proc(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam);
  HWND wnd_ = nullptr;
  std::vector<UINT> messages_;
};

}  // namespace render_test
