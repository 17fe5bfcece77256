#include "render_support/render_test_util.h"

// clang-format off
// GDI+ needs the COM declarations first.
#include <objidl.h>
#include <gdiplus.h>
// clang-format on

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "image/wic_factory.h"
#include "unit/test_support/pump_until.h"

using basic_lib::ComPtr;

namespace render_test {
namespace {

class RenderEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(com_.Result()));
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
    ASSERT_TRUE(SUCCEEDED(image::CreateSharedWicFactory()));
  }
  void TearDown() override {
    image::SetSharedWicFactory(nullptr);
    Gdiplus::GdiplusShutdown(token_);
  }

 private:
  basic_lib::ScopedComInit com_;
  ULONG_PTR token_ = 0;
};

void PatternRow(UINT width, UINT x0, UINT count, BYTE* out) {
  const UINT half = width / 2;
  for (UINT i = 0; i < count; ++i) {
    const COLORREF c = (x0 + i) < half ? kLeftColour : kRightColour;
    out[i * 4 + 0] = GetBValue(c);
    out[i * 4 + 1] = GetGValue(c);
    out[i * 4 + 2] = GetRValue(c);
    out[i * 4 + 3] = 255;
  }
}

class PatternSource : public IWICBitmapSource {
 public:
  PatternSource(UINT w, UINT h) : width_(w), height_(h) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IWICBitmapSource)) {
      *out = static_cast<IWICBitmapSource*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ::InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = ::InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE GetSize(UINT* w, UINT* h) override {
    *w = width_;
    *h = height_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override {
    *format = GUID_WICPixelFormat32bppBGRA;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetResolution(double* x, double* y) override {
    *x = *y = 96.0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override {
    return WINCODEC_ERR_PALETTEUNAVAILABLE;
  }
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT size,
                                       BYTE* buffer) override {
    WICRect r = {0, 0, static_cast<INT>(width_), static_cast<INT>(height_)};
    if (rect) r = *rect;
    if (r.X < 0 || r.Y < 0 || r.Width < 0 || r.Height < 0 ||
        static_cast<UINT>(r.X + r.Width) > width_ || static_cast<UINT>(r.Y + r.Height) > height_) {
      return E_INVALIDARG;
    }
    if (r.Height == 0 || r.Width == 0) return S_OK;
    if (stride < static_cast<UINT>(r.Width) * 4 ||
        static_cast<unsigned long long>(stride) * (r.Height - 1) + r.Width * 4ULL > size) {
      return E_INVALIDARG;
    }
    for (INT y = 0; y < r.Height; ++y) {
      PatternRow(width_, static_cast<UINT>(r.X), static_cast<UINT>(r.Width),
                 buffer + static_cast<size_t>(y) * stride);
    }
    return S_OK;
  }

 private:
  virtual ~PatternSource() = default;
  LONG refs_ = 1;
  UINT width_;
  UINT height_;
};

}  // namespace

void InstallRenderEnvironment() { ::testing::AddGlobalTestEnvironment(new RenderEnvironment()); }

bool PumpUntil(const std::function<bool()>& cond, DWORD timeout_ms) {
  return test_support::PumpUntil(cond, timeout_ms);
}

std::wstring MakeTempFolder(const std::wstring& name) {
  const char* base = std::getenv("LUMORA_TEST_TMP");
  std::wstring root = L"Z:";
  if (base) {
    for (const char* p = base; *p; ++p) root += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
  } else {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    root = temp;
    if (!root.empty() && root.back() == L'\\') root.pop_back();
  }
  std::wstring folder = root + L"\\" + name + L"_" + std::to_wstring(::GetCurrentProcessId());
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

ComPtr<IWICBitmapSource> MakePatternSource(UINT width, UINT height) {
  ComPtr<IWICBitmapSource> source;
  source.Attach(new PatternSource(width, height));
  return source;
}

bool WriteTwoColourImage(const std::wstring& path, UINT width, UINT height, const GUID& container) {
  ComPtr<IWICImagingFactory> factory = image::GetSharedWicFactory();
  if (!factory) return false;
  ComPtr<IWICBitmapSource> pattern = MakePatternSource(width, height);
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  if (FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
      FAILED(factory->CreateEncoder(container, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(width, height))) {
    return false;
  }
  WICPixelFormatGUID format = IsEqualGUID(container, GUID_ContainerFormatJpeg)
                                  ? GUID_WICPixelFormat24bppBGR
                                  : GUID_WICPixelFormat32bppBGRA;
  if (FAILED(frame->SetPixelFormat(&format))) return false;
  ComPtr<IWICBitmapSource> converted;
  if (FAILED(::WICConvertBitmapSource(format, pattern.Get(), &converted))) return false;
  // Written in bands so a 24-megapixel picture never sits in memory twice.
  const UINT bpp = IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) ? 3 : 4;
  const UINT stride = (width * bpp + 3) & ~3u;
  const UINT band = 256;
  std::vector<BYTE> buffer(static_cast<size_t>(stride) * band);
  for (UINT y = 0; y < height; y += band) {
    const UINT rows = std::min(band, height - y);
    WICRect rect = {0, static_cast<INT>(y), static_cast<INT>(width), static_cast<INT>(rows)};
    if (FAILED(converted->CopyPixels(&rect, stride, stride * rows, buffer.data())) ||
        FAILED(frame->WritePixels(rows, stride, stride * rows, buffer.data()))) {
      return false;
    }
  }
  return SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

HBITMAP MakeSolidBitmap(int width, int height, COLORREF colour) {
  basic_lib::ScopedWindowDc screen(nullptr);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen.Get(), width, height);
  if (!bitmap) return nullptr;
  basic_lib::ScopedMemoryDc dc(::CreateCompatibleDC(screen.Get()));
  basic_lib::ScopedSelectObject select(dc.Get(), bitmap);
  basic_lib::ScopedBrush brush(::CreateSolidBrush(colour));
  RECT r = {0, 0, width, height};
  ::FillRect(dc.Get(), &r, brush.Get());
  return bitmap;
}

COLORREF BitmapPixel(HBITMAP bitmap, int x, int y) {
  basic_lib::ScopedWindowDc screen(nullptr);
  basic_lib::ScopedMemoryDc dc(::CreateCompatibleDC(screen.Get()));
  basic_lib::ScopedSelectObject select(dc.Get(), bitmap);
  return ::GetPixel(dc.Get(), x, y);
}

bool ColourNear(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
         std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

bool FakeDocument::OpenFile(const std::wstring& path) {
  path_ = path;
  loader_ = CWICImageLoader::OpenImage(path);
  return loader_ != nullptr;
}

void FakeDocument::SetLoader(std::shared_ptr<CWICImageLoader> loader, const std::wstring& path) {
  loader_ = std::move(loader);
  path_ = path;
}

CAsyncTaskQueue* FakeDocument::GetRenderQueue() {
  if (!queue_) {
    if (run_tasks_) {
      queue_ = std::make_unique<CAsyncTaskQueue>();
    } else {
      queue_ = std::make_unique<CHeldQueue>();
    }
  }
  return queue_.get();
}

void FakeDocument::StopRendering() {
  ++stop_count_;
  if (!queue_) return;
  queue_->DropPending();
  queue_->CancelAll();
}

void FakeThumbnailSource::AddAnswer(WTS_FLAGS flags, int width, int height,
                                    WTS_CACHEFLAGS result_flags, COLORREF colour,
                                    const std::wstring& path) {
  std::lock_guard<std::mutex> hold(lock_);
  answers_.push_back(Answer{flags, width, height, result_flags, colour, path});
}

void FakeThumbnailSource::HoldCalls(const std::wstring& path, WTS_FLAGS flags) {
  std::lock_guard<std::mutex> hold(lock_);
  held_path_ = path;
  held_flags_ = flags;
  ::ResetEvent(release_.Get());
}

void FakeThumbnailSource::Release() { ::SetEvent(release_.Get()); }

std::vector<FakeThumbnailSource::Call> FakeThumbnailSource::Calls() {
  std::lock_guard<std::mutex> hold(lock_);
  return calls_;
}

size_t FakeThumbnailSource::CallCount() {
  std::lock_guard<std::mutex> hold(lock_);
  return calls_.size();
}

bool FakeThumbnailSource::GetThumbnail(const std::wstring& path, UINT size, WTS_FLAGS flags,
                                       view_render::ThumbnailBitmap* out) {
  out->Reset();
  bool hold_this = false;
  Answer answer = {};
  bool found = false;
  {
    std::lock_guard<std::mutex> hold(lock_);
    calls_.push_back(Call{path, size, flags});
    hold_this = !held_path_.empty() && held_path_ == path && held_flags_ == flags;
    for (const Answer& a : answers_) {
      if (a.flags == flags && (a.path.empty() || a.path == path)) {
        answer = a;
        found = true;
        break;
      }
    }
  }
  if (hold_this) ::WaitForSingleObject(release_.Get(), 20000);
  if (!found) return false;
  out->owned.Reset(MakeSolidBitmap(answer.width, answer.height, answer.colour));
  out->alpha = WTSAT_RGB;
  out->flags = answer.result_flags;
  return !out->IsEmpty();
}

RecordingWindow::RecordingWindow() {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = &RecordingWindow::Proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"lumora_render_test_wnd";
  ::RegisterClassW(&wc);
  wnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                           wc.hInstance, nullptr);
  ::SetWindowLongPtrW(wnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

RecordingWindow::~RecordingWindow() {
  if (wnd_) {
    ::SetWindowLongPtrW(wnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(wnd_);
  }
}

int RecordingWindow::Count(UINT message) const {
  return static_cast<int>(std::count(messages_.begin(), messages_.end(), message));
}

LRESULT CALLBACK RecordingWindow::Proc(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<RecordingWindow*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (self && message >= WM_APP) self->messages_.push_back(message);
  return ::DefWindowProcW(wnd, message, wparam, lparam);
}

}  // namespace render_test
