#pragma once

#include <windows.h>

// A window-less thread timer that calls back an object. The timers fire through the interface
// thread's message loop (modal loops included); interface thread only.
class FCTimerNotify {
 public:
  FCTimerNotify();
  virtual ~FCTimerNotify();
  FCTimerNotify(const FCTimerNotify&) = delete;
  FCTimerNotify& operator=(const FCTimerNotify&) = delete;

  // Restarts: any running timer of this object is stopped first.
  void StartTimer(UINT interval_ms);
  void StopTimer();
  UINT_PTR TimerId() const { return timer_id_; }
  bool IsTimerRunning() const { return timer_id_ != 0; }

  virtual void OnTimer() = 0;

  // Live objects and registered timers of the process (tests check the bookkeeping).
  static int LiveCount();
  static size_t RegisteredTimerCount();

 private:
  static void CALLBACK TimerProc(HWND wnd, UINT msg, UINT_PTR id, DWORD time);

  UINT_PTR timer_id_ = 0;
};
