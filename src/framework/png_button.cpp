#include "framework/png_button.h"

#include <wincodec.h>

#include "basic_lib/com_ptr.h"

namespace framework {

bool CPngImage::LoadFromResource(HINSTANCE module, UINT id) {
  HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
  if (!res) return false;
  HGLOBAL loaded = ::LoadResource(module, res);
  const DWORD size = ::SizeofResource(module, res);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data || size == 0) return false;
  return LoadFromMemory(data, size);
}

bool CPngImage::LoadFromMemory(const void* data, size_t size) {
  if (!data || size == 0 || size > 0x7fffffff) return false;
  basic_lib::ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory)))) {
    return false;
  }
  basic_lib::ComPtr<IWICStream> stream;
  if (FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)),
                                          static_cast<DWORD>(size)))) {
    return false;
  }
  basic_lib::ComPtr<IWICBitmapDecoder> decoder;
  basic_lib::ComPtr<IWICBitmapFrameDecode> frame;
  basic_lib::ComPtr<IWICBitmapSource> converted;
  if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) ||
      FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, frame.Get(), &converted))) {
    return false;
  }
  UINT width = 0, height = 0;
  if (FAILED(converted->GetSize(&width, &height)) || width == 0 || height == 0 || width > 16384 ||
      height > 16384) {
    return false;
  }
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = static_cast<LONG>(width);
  bi.bmiHeader.biHeight = -static_cast<LONG>(height);
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  basic_lib::ScopedBitmap bitmap(
      ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return false;
  const UINT stride = width * 4;
  if (FAILED(converted->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)))) {
    return false;
  }
  ::GdiFlush();
  bitmap_ = std::move(bitmap);
  width_ = static_cast<int>(width);
  height_ = static_cast<int>(height);
  return true;
}

void CPngImage::Draw(HDC dc, int x, int y, int src_x, int src_y, int width, int height) const {
  if (!bitmap_) return;
  basic_lib::ScopedMemoryDc mem(::CreateCompatibleDC(dc));
  if (!mem) return;
  basic_lib::ScopedSelectObject select(mem.Get(), bitmap_.Get());
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::AlphaBlend(dc, x, y, width, height, mem.Get(), src_x, src_y, width, height, blend);
}

int CPngButton::FrameForState(int frames, int state) {
  if (state < kNormal || state > kDisabled) state = kNormal;
  switch (frames) {
    case 1:
      return 0;
    case 3:
      return state == kDisabled ? -1 : state - 1;
    case 4:
      return state - 1;
    default:
      return -1;
  }
}

bool CPngButton::Create(HWND parent, UINT id, UINT png_id, int x, int y) {
  HWND wnd = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, x, y, 30,
                               30, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                               ::GetModuleHandleW(nullptr), nullptr);
  if (!wnd) return false;
  if (!SubclassWindow(wnd)) {
    ::DestroyWindow(wnd);
    return false;
  }
  return LoadStrip(png_id);
}

bool CPngButton::LoadStrip(UINT png_id) {
  CPngImage image;
  if (!image.LoadFromResource(::GetModuleHandleW(nullptr), png_id)) return false;
  int frames = 1;
  if (image.Width() % 4 == 0 && image.Width() / 4 == image.Height()) {
    frames = 4;
  } else if (image.Width() % 3 == 0 && image.Width() / 3 == image.Height()) {
    frames = 3;
  }
  image_ = std::move(image);
  frames_ = frames;
  png_id_ = png_id;
  if (hwnd_) {
    ::SetWindowPos(hwnd_, nullptr, 0, 0, FrameWidth(), FrameHeight(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(hwnd_, nullptr, FALSE);
  }
  return true;
}

void CPngButton::SetState(int state) {
  if (state_ == state) return;
  state_ = state;
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

bool CPngButton::DrawItem(const DRAWITEMSTRUCT* dis) {
  const int state = ::IsWindowEnabled(hwnd_) ? state_ : kDisabled;
  const RECT& rc = dis->rcItem;
  // The parent's caption colour under transparent pixels.
  basic_lib::ScopedBrush back(::CreateSolidBrush(RGB(248, 248, 248)));
  ::FillRect(dis->hDC, &rc, back.Get());
  const int frame = FrameForState(frames_, state);
  if (frame >= 0) {
    const int w = FrameWidth();
    image_.Draw(dis->hDC, rc.left, rc.top, frame * w, 0, w, FrameHeight());
  }
  return true;
}

LRESULT CPngButton::WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_MOUSEMOVE:
      if (!tracking_) {
        TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE | TME_HOVER, hwnd_, HOVER_DEFAULT};
        tracking_ = ::TrackMouseEvent(&tme) != FALSE;
      }
      if (state_ == kNormal) SetState(kHover);
      break;
    case WM_MOUSEHOVER:
      if (state_ != kPressed) SetState(kHover);
      break;
    case WM_MOUSELEAVE:
      tracking_ = false;
      SetState(kNormal);
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetState(kPressed);
      break;
    case WM_LBUTTONUP:
      SetState(kHover);
      break;
    case WM_ERASEBKGND:
      return TRUE;
    default:
      break;
  }
  return CWnd::WindowProc(msg, wparam, lparam);
}

}  // namespace framework
