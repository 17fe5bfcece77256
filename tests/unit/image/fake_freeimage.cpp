// Stand-in for the decoding plug-in: LUMORA_FAKE_PLUGIN picks what load_image hands back.
#include <wincodec.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <cwchar>

namespace {

// An object whose code lives in this library: the viewer must not keep it after unloading us.
class OwnSource final : public IWICBitmapSource {
 public:
  OwnSource(UINT w, UINT h, bool size_fails) : w_(w), h_(h), size_fails_(size_fails) {}
  virtual ~OwnSource() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWICBitmapSource)) {
      *out = static_cast<IWICBitmapSource*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE GetSize(UINT* w, UINT* h) override {
    if (size_fails_) return E_FAIL;
    *w = w_;
    *h = h_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* f) override {
    *f = GUID_WICPixelFormat32bppBGRA;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetResolution(double* x, double* y) override {
    *x = *y = 96.0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT size,
                                       BYTE* buffer) override {
    if (w_ > 1000) return E_OUTOFMEMORY;  // the "huge" claim has no pixels behind it
    UINT x = 0, y = 0, w = w_, h = h_;
    if (rect) {
      x = rect->X;
      y = rect->Y;
      w = rect->Width;
      h = rect->Height;
    }
    if (!buffer || stride < w * 4 || size < stride * (h - 1) + w * 4) return E_INVALIDARG;
    for (UINT r = 0; r < h; ++r) {
      for (UINT c = 0; c < w; ++c) {
        const DWORD green = 0xFF00FF00;
        std::memcpy(buffer + r * stride + c * 4, &green, 4);
      }
    }
    (void)x;
    (void)y;
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
  UINT w_, h_;
  bool size_fails_;
};

// Answers nothing but IUnknown.
class Opaque final : public IUnknown {
 public:
  virtual ~Opaque() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace

extern "C" __declspec(dllexport) IUnknown* __cdecl load_image(const wchar_t* path,
                                                              IWICImagingFactory* factory) {
  wchar_t mode[32] = {};
  ::GetEnvironmentVariableW(L"LUMORA_FAKE_PLUGIN", mode, 32);
  if (!path || !factory) return nullptr;
  if (std::wcscmp(mode, L"bitmap") == 0) {
    IWICBitmap* bitmap = nullptr;
    if (FAILED(factory->CreateBitmap(7, 5, GUID_WICPixelFormat32bppBGRA, WICBitmapCacheOnLoad,
                                     &bitmap))) {
      return nullptr;
    }
    return bitmap;
  }
  if (std::wcscmp(mode, L"own") == 0) return new OwnSource(3, 2, false);
  if (std::wcscmp(mode, L"badsize") == 0) return new OwnSource(3, 2, true);
  if (std::wcscmp(mode, L"huge") == 0) return new OwnSource(60000, 60000, false);
  if (std::wcscmp(mode, L"opaque") == 0) return new Opaque();
  return nullptr;
}
