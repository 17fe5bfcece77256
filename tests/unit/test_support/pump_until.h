#pragma once

#include <windows.h>

#include <functional>

namespace test_support {

// Runs this thread's messages until `cond` holds or the deadline passes; returns whether it held.
inline bool PumpUntil(const std::function<bool()>& cond, DWORD timeout_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (cond()) return true;
    if (::GetTickCount64() > deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

}  // namespace test_support
