#pragma once

#include <windows.h>

#include "framework/wnd.h"

// A hidden message-only window that takes hand-over requests (WM_COPYDATA) from other processes
// and passes them on, synchronously, to the application's main window; the main window's answer
// goes back to the sender.
class CIPCReceiverBase : public framework::CWnd {
 public:
  // Creates the window under `name` and lets WM_COPYDATA through the message filter.
  bool Create(const wchar_t* name);

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) override;
  // The wParam the main window receives.
  virtual WPARAM ForwardedWParam(WPARAM received) const = 0;
};

// Exists while only_one_instance is 1; forwards the wParam it received.
class CIPCReceiver : public CIPCReceiverBase {
 public:
  bool Create();

 protected:
  WPARAM ForwardedWParam(WPARAM received) const override { return received; }
};

// Exists in every running viewer; forwards with wParam 0.
class CIPCAlwaysReceiver : public CIPCReceiverBase {
 public:
  bool Create();

 protected:
  WPARAM ForwardedWParam(WPARAM) const override { return 0; }
};

// ChangeWindowMessageFilterEx(wnd, msg, MSGFLT_ALLOW), looked up at run time (Windows 7+).
void AllowMessageThroughFilter(HWND wnd, UINT msg);
