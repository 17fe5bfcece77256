#include "view_render/async_task_queue.h"

#include <vector>

#include "view_render/auto_initialize_com.h"

namespace {
std::atomic<int> g_next_task_id{0};

// Waits for a worker while still answering messages other threads send us, so a worker blocked
// in SendMessage to a window of this thread cannot deadlock the wait.
void WaitAnsweringSentMessages(HANDLE event) {
  for (;;) {
    const DWORD r = ::MsgWaitForMultipleObjectsEx(1, &event, INFINITE, QS_SENDMESSAGE, 0);
    if (r != WAIT_OBJECT_0 + 1) return;
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void FinishWork(PTP_WORK* work) {
  if (!*work) return;
  ::WaitForThreadpoolWorkCallbacks(*work, FALSE);
  ::CloseThreadpoolWork(*work);
  *work = nullptr;
}
}  // namespace

CAsyncTask::CAsyncTask()
    : id_(g_next_task_id.fetch_add(1)),
      run_finished_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CAsyncTask::~CAsyncTask() {
  if (work_) {
    ::WaitForThreadpoolWorkCallbacks(work_, FALSE);
    ::CloseThreadpoolWork(work_);
  }
}

LRESULT CAsyncTask::SendToWindow(HWND target, UINT message, WPARAM wparam, LPARAM lparam) {
  AsyncSendRecord record = {target, message, wparam, lparam};
  return ::SendMessageW(queue_window_, WM_ASYNC_SEND, reinterpret_cast<WPARAM>(&record), 0);
}

VOID CALLBACK CAsyncTask::WorkerRoutine(PTP_CALLBACK_INSTANCE, PVOID context, PTP_WORK) {
  auto* task = static_cast<CAsyncTask*>(context);
  {
    FCAutoInitializeCOM com;
    try {
      task->Run();
    } catch (...) {
      // An error must end the task without a result, never the pool thread.
    }
    ::SendMessageW(task->queue_window_, WM_ASYNC_TASK_DONE, static_cast<WPARAM>(task->id_),
                   static_cast<LPARAM>(::GetCurrentThreadId()));
  }
  if (task->run_finished_) ::SetEvent(task->run_finished_.Get());
}

CAsyncTaskQueue::CAsyncTaskQueue() { Create(); }

CAsyncTaskQueue::~CAsyncTaskQueue() {
  Flush();
  Destroy();
  pending_.clear();
  running_.clear();
}

void CAsyncTaskQueue::Enqueue(std::shared_ptr<CAsyncTask> task) {
  if (!task) return;
  pending_.push_back(std::move(task));
  StartPending();
}

void CAsyncTaskQueue::StartPending() {
  while (GetSafeHwnd() && !pending_.empty() &&
         static_cast<long long>(running_.size()) < static_cast<long long>(MaxRunning())) {
    std::shared_ptr<CAsyncTask> task = pending_.front();
    pending_.pop_front();
    task->queue_window_ = GetSafeHwnd();
    OnStart(task);
    running_[task->id_] = task;
    PTP_WORK work = ::CreateThreadpoolWork(&CAsyncTask::WorkerRoutine, task.get(), nullptr);
    if (!work) {
      running_.erase(task->id_);
      continue;
    }
    task->work_ = work;
    ::SubmitThreadpoolWork(work);
  }
}

void CAsyncTaskQueue::Flush() {
  if (running_.empty()) return;
  // No completion can arrive while the window is gone; the posts below make up for them.
  Destroy();
  std::vector<int> ids;
  for (auto& entry : running_) {
    CAsyncTask* task = entry.second.get();
    if (task->work_ && task->run_finished_) WaitAnsweringSentMessages(task->run_finished_.Get());
    FinishWork(&task->work_);
    ids.push_back(entry.first);
  }
  Create();
  for (int id : ids) {
    ::PostMessageW(GetSafeHwnd(), WM_ASYNC_TASK_DONE, static_cast<WPARAM>(id),
                   static_cast<LPARAM>(::GetCurrentThreadId()));
  }
}

void CAsyncTaskQueue::CancelAll() {
  for (auto& entry : running_) entry.second->Cancel();
}

void CAsyncTaskQueue::DropPending() { pending_.clear(); }

void CAsyncTaskQueue::OnTaskDone(int id, DWORD sender_thread) {
  if (sender_thread != ::GetCurrentThreadId()) ::ReplyMessage(0);
  auto it = running_.find(id);
  if (it != running_.end()) {
    std::shared_ptr<CAsyncTask> task = it->second;
    task->OnComplete();
    FinishWork(&task->work_);
    auto again = running_.find(id);
    if (again != running_.end() && again->second == task) running_.erase(again);
  }
  StartPending();
}

LRESULT CAsyncTaskQueue::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ASYNC_TASK_DONE:
      OnTaskDone(static_cast<int>(wparam), static_cast<DWORD>(lparam));
      return 0;
    case WM_ASYNC_SEND: {
      const auto* record = reinterpret_cast<const AsyncSendRecord*>(wparam);
      if (record && ::IsWindow(record->target)) {
        return ::SendMessageW(record->target, record->message, record->wparam, record->lparam);
      }
      return 0;
    }
    default:
      return FCMessageWindow::WindowProc(message, wparam, lparam);
  }
}
