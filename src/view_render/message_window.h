#pragma once

#include <windows.h>

#include <string>

// A hidden message-only window bound to this object, so worker threads can reach the interface
// thread with ordinary messages. Every window of one module shares one class.
class FCMessageWindow {
 public:
  FCMessageWindow() = default;
  virtual ~FCMessageWindow();
  FCMessageWindow(const FCMessageWindow&) = delete;
  FCMessageWindow& operator=(const FCMessageWindow&) = delete;

  // Destroys any previous window and creates a new one on the calling thread.
  bool Create();
  void Destroy();
  HWND GetSafeHwnd() const { return m_hWnd; }

  // "vantrel_msgwnd_<instance handle as signed 64-bit decimal>".
  static std::wstring ClassName();

 protected:
  virtual LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  static LRESULT CALLBACK SharedWindowProc(HWND wnd, UINT message, WPARAM wparam, LPARAM lparam);

  HWND m_hWnd = nullptr;
};
