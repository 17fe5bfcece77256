#include "framework/wnd.h"

namespace framework {
namespace {
const wchar_t kObjectProp[] = L"LumoraCWnd";
}  // namespace

CWnd::~CWnd() {
  if (hwnd_ && ::IsWindow(hwnd_)) {
    HWND wnd = hwnd_;
    ::DestroyWindow(wnd);
    // DestroyWindow from another thread fails; never leave a dangling pointer behind.
    if (hwnd_) Detach();
  }
}

CWnd* CWnd::FromHandle(HWND wnd) {
  if (!wnd) return nullptr;
  return static_cast<CWnd*>(::GetPropW(wnd, kObjectProp));
}

bool CWnd::RegisterWindowClass(const wchar_t* class_name, UINT style, HBRUSH background,
                               HCURSOR cursor) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW existing = {};
  existing.cbSize = sizeof(existing);
  if (::GetClassInfoExW(instance, class_name, &existing)) return true;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = style;
  wc.lpfnWndProc = &CWnd::StaticWndProc;
  wc.hInstance = instance;
  wc.hCursor = cursor ? cursor : ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = class_name;
  return ::RegisterClassExW(&wc) != 0;
}

bool CWnd::CreateEx(DWORD ex_style, const wchar_t* class_name, const wchar_t* name, DWORD style,
                    const RECT& rect, HWND parent, UINT_PTR id_or_menu) {
  if (hwnd_) return false;
  HWND wnd = ::CreateWindowExW(ex_style, class_name, name, style, rect.left, rect.top,
                               rect.right - rect.left, rect.bottom - rect.top, parent,
                               reinterpret_cast<HMENU>(id_or_menu), ::GetModuleHandleW(nullptr),
                               this);
  return wnd != nullptr;
}

bool CWnd::SubclassWindow(HWND wnd) {
  if (hwnd_ || !wnd || FromHandle(wnd)) return false;
  Attach(wnd);
  super_proc_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
  return super_proc_ != nullptr;
}

void CWnd::DestroyWindow() {
  if (hwnd_) ::DestroyWindow(hwnd_);
}

bool CWnd::PreTranslateMessage(MSG*) { return false; }

LRESULT CWnd::WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_DRAWITEM && ReflectDrawItem(lparam)) return TRUE;
  return DefWindowProc(msg, wparam, lparam);
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (super_proc_) return ::CallWindowProcW(super_proc_, hwnd_, msg, wparam, lparam);
  return ::DefWindowProcW(hwnd_, msg, wparam, lparam);
}

bool CWnd::ReflectDrawItem(LPARAM lparam) {
  const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
  if (!dis || dis->CtlType == ODT_MENU) return false;
  CWnd* child = FromHandle(dis->hwndItem);
  return child && child->DrawItem(dis);
}

void CWnd::Attach(HWND wnd) {
  hwnd_ = wnd;
  ::SetPropW(wnd, kObjectProp, this);
}

void CWnd::Detach() {
  if (!hwnd_) return;
  ::RemovePropW(hwnd_, kObjectProp);
  if (super_proc_ && ::IsWindow(hwnd_)) {
    ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(super_proc_));
  }
  super_proc_ = nullptr;
  hwnd_ = nullptr;
}

LRESULT CWnd::Route(CWnd* self, HWND, UINT msg, WPARAM wparam, LPARAM lparam) {
  LRESULT result = self->WindowProc(msg, wparam, lparam);
  if (msg == WM_NCDESTROY) {
    self->Detach();
    self->PostNcDestroy();
  }
  return result;
}

LRESULT CALLBACK CWnd::StaticWndProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  CWnd* self = FromHandle(wnd);
  if (!self && msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    self = static_cast<CWnd*>(cs->lpCreateParams);
    if (self) self->Attach(wnd);
  }
  if (!self) return ::DefWindowProcW(wnd, msg, wparam, lparam);
  return Route(self, wnd, msg, wparam, lparam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  CWnd* self = FromHandle(wnd);
  if (!self) return ::DefWindowProcW(wnd, msg, wparam, lparam);
  return Route(self, wnd, msg, wparam, lparam);
}

bool PreTranslateTree(MSG* msg, HWND stop) {
  for (HWND wnd = msg->hwnd; wnd; wnd = ::GetParent(wnd)) {
    if (CWnd* object = CWnd::FromHandle(wnd)) {
      if (object->PreTranslateMessage(msg)) return true;
    }
    if (wnd == stop) break;
  }
  return false;
}

}  // namespace framework
