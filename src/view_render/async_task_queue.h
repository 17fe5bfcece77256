#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <map>
#include <memory>

#include "basic_lib/scoped_handle.h"
#include "view_render/message_window.h"

// Private messages of the queue window.
constexpr UINT WM_ASYNC_TASK_DONE = 0x8081;  // wParam task id, lParam sending thread id
constexpr UINT WM_ASYNC_SEND = 0x8082;       // wParam AsyncSendRecord*, lParam 0

// A message a worker asks the interface thread to send on its behalf.
struct AsyncSendRecord {
  HWND target;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

// One unit of background work: Run() on a pool thread, OnComplete() on the interface thread.
class CAsyncTask {
 public:
  CAsyncTask();
  virtual ~CAsyncTask();
  CAsyncTask(const CAsyncTask&) = delete;
  CAsyncTask& operator=(const CAsyncTask&) = delete;

  virtual void Run() = 0;
  virtual void OnComplete() {}
  // Only clears the active flag; Run() polls IsActive() and the completion is still delivered.
  virtual void Cancel() { active_.store(0); }

  bool IsActive() const { return active_.load() != 0; }
  int GetId() const { return id_; }
  HWND GetQueueWindow() const { return queue_window_; }

 protected:
  // From Run(): the interface thread sends the message to target (when it still exists) and
  // this returns after the target handled it. Nothing is sent once the queue window is gone.
  LRESULT SendToWindow(HWND target, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  friend class CAsyncTaskQueue;
  static VOID CALLBACK WorkerRoutine(PTP_CALLBACK_INSTANCE instance, PVOID context, PTP_WORK work);

  HWND queue_window_ = nullptr;
  PTP_WORK work_ = nullptr;
  int id_;
  std::atomic<LONG> active_{1};
  basic_lib::ScopedKernelHandle run_finished_;  // set when the worker is done with the task
};

// First-in first-out queue running at most MaxRunning() tasks at once on the system thread pool.
// Lives on, and is used only from, the interface thread.
class CAsyncTaskQueue : public FCMessageWindow {
 public:
  CAsyncTaskQueue();
  ~CAsyncTaskQueue() override;

  void Enqueue(std::shared_ptr<CAsyncTask> task);
  // Waits for every running task, then delivers their completions later through the message
  // loop; pending tasks stay queued.
  void Flush();
  void CancelAll();
  void DropPending();
  // Starts pending tasks as far as MaxRunning() allows (also done after each enqueue and
  // completion).
  void StartPending();

  size_t RunningCount() const { return running_.size(); }
  size_t PendingCount() const { return pending_.size(); }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  virtual int MaxRunning() { return 1; }
  virtual void OnStart(const std::shared_ptr<CAsyncTask>& task) { (void)task; }

 private:
  void OnTaskDone(int id, DWORD sender_thread);

  std::map<int, std::shared_ptr<CAsyncTask>> running_;
  std::deque<std::shared_ptr<CAsyncTask>> pending_;
};
