#include "widget_window/timer_notify.h"

#include <map>
#include <memory>

namespace {
// Created with the first object, deleted when the last one goes.
std::unique_ptr<std::map<UINT_PTR, FCTimerNotify*>> g_timers;
int g_live_count = 0;
}  // namespace

FCTimerNotify::FCTimerNotify() {
  if (g_live_count++ == 0 || !g_timers) {
    g_timers = std::make_unique<std::map<UINT_PTR, FCTimerNotify*>>();
  }
}

FCTimerNotify::~FCTimerNotify() {
  StopTimer();
  if (--g_live_count == 0) g_timers.reset();
}

void FCTimerNotify::StartTimer(UINT interval_ms) {
  StopTimer();
  timer_id_ = ::SetTimer(nullptr, 0, interval_ms, &FCTimerNotify::TimerProc);
  if (timer_id_ != 0 && g_timers) (*g_timers)[timer_id_] = this;
}

void FCTimerNotify::StopTimer() {
  if (timer_id_ == 0) return;
  if (g_timers) {
    auto found = g_timers->find(timer_id_);
    // Another object may hold the same id now (ids are reused once killed): only our entry goes.
    if (found != g_timers->end() && found->second == this) g_timers->erase(found);
  }
  ::KillTimer(nullptr, timer_id_);
  timer_id_ = 0;
}

int FCTimerNotify::LiveCount() { return g_live_count; }

size_t FCTimerNotify::RegisteredTimerCount() { return g_timers ? g_timers->size() : 0; }

void CALLBACK FCTimerNotify::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  if (!g_timers) return;
  auto found = g_timers->find(id);
  if (found == g_timers->end()) return;
  found->second->OnTimer();
}
