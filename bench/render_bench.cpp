// Open -> first fit frame and zoom -> 1:1 frame through the real pipeline, against a plain WIC
// decode of the same file measured in the same run.
//
// render_bench.exe [folder] [repetitions]

#include <windows.h>

// clang-format off
// GDI+ needs the COM declarations first.
#include <objidl.h>
#include <gdiplus.h>
// clang-format on

#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "basic_lib/com_ptr.h"
#include "document/current_document.h"
#include "image/wic_factory.h"
#include "view_render/pre_render_key_frame.h"
#include "view_render/system_cache.h"
#include "view_render/view_render.h"

using basic_lib::ComPtr;

namespace {

constexpr int kViewWidth = 1280;
constexpr int kViewHeight = 800;

double NowMs() {
  LARGE_INTEGER f, c;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&c);
  return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

bool PumpUntil(bool (*cond)(void*), void* context, DWORD timeout_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (cond(context)) return true;
    if (::GetTickCount64() > deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
}

// A photo-like picture: smooth gradients with some texture, so JPEG and PNG do real work.
void FillRow(UINT width, UINT y, BYTE* row) {
  for (UINT x = 0; x < width; ++x) {
    row[x * 3 + 0] = static_cast<BYTE>((x * 255) / width);
    row[x * 3 + 1] = static_cast<BYTE>(((x ^ y) & 0x3F) + (y * 190) / 4096);
    row[x * 3 + 2] = static_cast<BYTE>(255 - (y * 255) / 8192 - ((x * y) & 7));
  }
}

bool WritePicture(IWICImagingFactory* factory, const std::wstring& path, UINT w, UINT h,
                  const GUID& container) {
  if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  const std::wstring temp = path + L".part";
  if (FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromFilename(temp.c_str(), GENERIC_WRITE)) ||
      FAILED(factory->CreateEncoder(container, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(w, h)) || FAILED(frame->SetPixelFormat(&format)) ||
      !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
    return false;
  }
  const UINT stride = (w * 3 + 3) & ~3u;
  std::vector<BYTE> row(stride);
  for (UINT y = 0; y < h; ++y) {
    FillRow(w, y, row.data());
    if (FAILED(frame->WritePixels(1, stride, stride, row.data()))) return false;
  }
  if (FAILED(frame->Commit()) || FAILED(encoder->Commit())) return false;
  frame.Reset();
  encoder.Reset();
  stream.Reset();
  return ::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

// The baseline: decode every pixel of frame 0 into memory as 32bppPBGRA.
double PlainWicDecode(IWICImagingFactory* factory, const std::wstring& path) {
  const double t0 = NowMs();
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICBitmapSource> converted;
  UINT w = 0, h = 0;
  if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) ||
      FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, frame.Get(), &converted)) ||
      FAILED(converted->GetSize(&w, &h))) {
    return -1.0;
  }
  std::vector<BYTE> pixels(static_cast<size_t>(w) * h * 4);
  if (FAILED(
          converted->CopyPixels(nullptr, w * 4, static_cast<UINT>(pixels.size()), pixels.data()))) {
    return -1.0;
  }
  return NowMs() - t0;
}

struct Timing {
  double fit_ms = -1.0;
  double zoom_ms = -1.0;
};

Timing RunPipeline(const std::wstring& path, HWND view) {
  Timing timing;
  CurrentDocument& doc = CurrentDocument::Instance();
  CSystemCache& cache = CSystemCache::Instance();
  view_render::RenderEnvironment env;
  env.document = &doc;
  env.cache = &cache;

  const double t0 = NowMs();
  doc.Open(path);
  if (!doc.GetLoader()) return timing;
  auto render = std::make_unique<view_render::CViewRender>(env, kViewWidth, kViewHeight, view);
  auto* frames = static_cast<CPreRenderKeyFrame*>(render->GetPreRender());
  if (!frames) return timing;
  auto fit_ready = [](void* p) {
    return static_cast<CPreRenderKeyFrame*>(p)->GetFitBitmap(true) != nullptr;
  };
  if (!PumpUntil(fit_ready, frames, 120000)) return timing;
  timing.fit_ms = NowMs() - t0;

  const double t1 = NowMs();
  render->ZoomTo(1.0f, kViewWidth / 2, kViewHeight / 2);
  auto actual_ready = [](void* p) {
    auto* f = static_cast<CPreRenderKeyFrame*>(p);
    return f->Frame1to1() != nullptr &&
           (f->LastDrawnFrame() == view_render::DrawnFrame::k1to1 ||
            f->LastDrawnFrame() == view_render::DrawnFrame::k1to1Gdiplus);
  };
  if (PumpUntil(actual_ready, frames, 120000)) timing.zoom_ms = NowMs() - t1;
  render.reset();
  doc.Open(L"");
  return timing;
}

double Median(std::vector<double> v) {
  if (v.empty()) return -1.0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  basic_lib::ScopedComInit com;
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  if (FAILED(image::CreateSharedWicFactory())) {
    std::fprintf(stderr, "no WIC factory\n");
    return 1;
  }
  ComPtr<IWICImagingFactory> factory = image::GetSharedWicFactory();

  std::wstring folder;
  if (argc > 1) {
    folder = argv[1];
  } else {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    folder = std::wstring(temp) + L"lumora_bench";
  }
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const int reps = argc > 2 ? std::max(1, _wtoi(argv[2])) : 3;

  WNDCLASSW wc = {};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"lumora_bench_view";
  ::RegisterClassW(&wc);
  HWND view = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, kViewWidth, kViewHeight,
                                nullptr, nullptr, wc.hInstance, nullptr);

  struct Case {
    const wchar_t* name;
    UINT w, h;
    GUID container;
  };
  const Case cases[] = {
      {L"2mp.jpg", 1632, 1224, GUID_ContainerFormatJpeg},
      {L"12mp.jpg", 4000, 3000, GUID_ContainerFormatJpeg},
      {L"24mp.jpg", 6000, 4000, GUID_ContainerFormatJpeg},
      {L"2mp.png", 1632, 1224, GUID_ContainerFormatPng},
      {L"12mp.png", 4000, 3000, GUID_ContainerFormatPng},
      {L"24mp.png", 6000, 4000, GUID_ContainerFormatPng},
  };
  std::printf(
      "view %dx%d, %d runs each, median milliseconds; ratio = pipeline / plain WIC decode\n",
      kViewWidth, kViewHeight, reps);
  std::printf("%-10s %10s %12s %7s %12s %7s\n", "file", "wic_decode", "open->fit", "ratio",
              "zoom->1:1", "ratio");
  int failures = 0;
  for (const Case& c : cases) {
    const std::wstring path = folder + L"\\" + c.name;
    if (!WritePicture(factory.Get(), path, c.w, c.h, c.container)) {
      std::printf("%-10ls could not be written\n", c.name);
      ++failures;
      continue;
    }
    std::vector<double> decode, fit, zoom;
    for (int i = 0; i < reps; ++i) {
      decode.push_back(PlainWicDecode(factory.Get(), path));
      const Timing t = RunPipeline(path, view);
      fit.push_back(t.fit_ms);
      zoom.push_back(t.zoom_ms);
    }
    const double d = Median(decode), f = Median(fit), z = Median(zoom);
    if (d <= 0 || f < 0 || z < 0) ++failures;
    std::printf("%-10ls %10.1f %12.1f %7.2f %12.1f %7.2f\n", c.name, d, f, d > 0 ? f / d : 0.0, z,
                d > 0 ? z / d : 0.0);
    std::fflush(stdout);
  }
  if (view) ::DestroyWindow(view);
  CurrentDocument::DestroyInstance();
  CSystemCache::DestroyInstance();
  image::SetSharedWicFactory(nullptr);
  Gdiplus::GdiplusShutdown(token);
  return failures == 0 ? 0 : 2;
}
