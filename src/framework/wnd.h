#pragma once

#include <windows.h>

namespace framework {

// Base of every window object of ours. Messages of an attached window reach the virtual
// WindowProc; what it does not handle goes to DefWindowProc (the class procedure, the procedure
// a subclassed control had before, or the dialog manager).
class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND GetSafeHwnd() const { return hwnd_; }
  operator HWND() const { return hwnd_; }
  // The object attached to a window of this process, or null.
  static CWnd* FromHandle(HWND wnd);

  // Registers a window class whose procedure routes to CWnd objects (idempotent).
  static bool RegisterWindowClass(const wchar_t* class_name, UINT style = 0,
                                  HBRUSH background = nullptr, HCURSOR cursor = nullptr);
  // Creates a window of a class registered with RegisterWindowClass.
  bool CreateEx(DWORD ex_style, const wchar_t* class_name, const wchar_t* name, DWORD style,
                const RECT& rect, HWND parent, UINT_PTR id_or_menu);
  // Takes over an existing window (a system control): its messages reach WindowProc first.
  bool SubclassWindow(HWND wnd);
  void DestroyWindow();

  // Called by the message loop for messages aimed at this window or its descendants; true
  // consumes the message.
  virtual bool PreTranslateMessage(MSG* msg);
  // An owner-drawn control of ours draws itself (its parent reflects WM_DRAWITEM here).
  virtual bool DrawItem(const DRAWITEMSTRUCT*) { return false; }

 protected:
  virtual LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam);
  virtual LRESULT DefWindowProc(UINT msg, WPARAM wparam, LPARAM lparam);
  // After WM_NCDESTROY, once the window is detached.
  virtual void PostNcDestroy() {}
  // WM_DRAWITEM for a child of ours: hands it to the child; true when it drew.
  static bool ReflectDrawItem(LPARAM lparam);

  void Attach(HWND wnd);
  void Detach();

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK StaticWndProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK SubclassProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam);
  static LRESULT Route(CWnd* self, HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam);

  WNDPROC super_proc_ = nullptr;  // set while subclassing
};

// Lets every CWnd from msg->hwnd up its parent/owner chain (stopping after `stop`) look at a
// message before it is dispatched.
bool PreTranslateTree(MSG* msg, HWND stop);

}  // namespace framework
