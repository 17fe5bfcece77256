#include "view_render/message_window.h"

#include <cstdint>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {
HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }
}  // namespace

FCMessageWindow::~FCMessageWindow() { Destroy(); }

std::wstring FCMessageWindow::ClassName() {
  const long long instance = static_cast<long long>(reinterpret_cast<intptr_t>(ModuleInstance()));
  return L"vantrel_msgwnd_" + std::to_wstring(instance);
}

bool FCMessageWindow::Create() {
  Destroy();
  const std::wstring class_name = ClassName();
  // Registered every time; the failure when the class already exists is expected.
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &FCMessageWindow::SharedWindowProc;
  wc.hInstance = ModuleInstance();
  wc.lpszClassName = class_name.c_str();
  ::RegisterClassExW(&wc);
  HWND wnd = ::CreateWindowExW(0, class_name.c_str(), nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               ModuleInstance(), nullptr);
  if (!wnd) return false;
  m_hWnd = wnd;
  ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return true;
}

void FCMessageWindow::Destroy() {
  HWND wnd = m_hWnd;
  if (!wnd) return;
  m_hWnd = nullptr;
  ::SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
  ::DestroyWindow(wnd);
}

LRESULT FCMessageWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  return ::DefWindowProcW(m_hWnd, message, wparam, lparam);
}

LRESULT CALLBACK FCMessageWindow::SharedWindowProc(HWND wnd, UINT message, WPARAM wparam,
                                                   LPARAM lparam) {
  auto* self = reinterpret_cast<FCMessageWindow*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(wnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    // Destroyed from outside: forget the handle so nothing is sent to a dead window.
    ::SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
    self->m_hWnd = nullptr;
    return ::DefWindowProcW(wnd, message, wparam, lparam);
  }
  return self->WindowProc(message, wparam, lparam);
}
