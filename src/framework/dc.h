#pragma once

#include <windows.h>

#include "basic_lib/scoped_handle.h"

namespace framework {

// BeginPaint/EndPaint for one WM_PAINT.
class CPaintDC {
 public:
  explicit CPaintDC(HWND wnd) : wnd_(wnd) { dc_ = ::BeginPaint(wnd, &ps_); }
  ~CPaintDC() { ::EndPaint(wnd_, &ps_); }
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  HDC Get() const { return dc_; }
  const RECT& PaintRect() const { return ps_.rcPaint; }

 private:
  HWND wnd_;
  PAINTSTRUCT ps_;
  HDC dc_;
};

// The client-area DC of a window for the length of a scope.
using CClientDC = basic_lib::ScopedWindowDc;

// A memory DC compatible with `target` holding a bitmap of the given size; BitBlt it back with
// Flush. Used to paint without flicker.
class CMemoryDC {
 public:
  CMemoryDC(HDC target, const RECT& rect)
      : target_(target),
        rect_(rect),
        dc_(::CreateCompatibleDC(target)),
        bitmap_(::CreateCompatibleBitmap(target, rect.right - rect.left, rect.bottom - rect.top)),
        select_(dc_.Get(), bitmap_.Get()) {
    ::SetWindowOrgEx(dc_.Get(), rect.left, rect.top, nullptr);
  }
  HDC Get() const { return bitmap_ ? dc_.Get() : target_; }
  void Flush() {
    if (!bitmap_) return;
    ::BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top,
             dc_.Get(), rect_.left, rect_.top, SRCCOPY);
  }

 private:
  HDC target_;
  RECT rect_;
  basic_lib::ScopedMemoryDc dc_;
  basic_lib::ScopedBitmap bitmap_;
  basic_lib::ScopedSelectObject select_;
};

// Saves the DC state and restores it on scope exit.
class CSaveDC {
 public:
  explicit CSaveDC(HDC dc) : dc_(dc), saved_(::SaveDC(dc)) {}
  ~CSaveDC() {
    if (saved_) ::RestoreDC(dc_, saved_);
  }
  CSaveDC(const CSaveDC&) = delete;
  CSaveDC& operator=(const CSaveDC&) = delete;

 private:
  HDC dc_;
  int saved_;
};

}  // namespace framework
