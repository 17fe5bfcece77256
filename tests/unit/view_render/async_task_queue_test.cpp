#include "view_render/async_task_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "unit/test_support/pump_until.h"
#include "view_render/auto_initialize_com.h"

namespace {

// Runs the message loop until cond holds or the deadline passes.
bool PumpUntil(const std::function<bool()>& cond, DWORD timeout_ms = 10000) {
  return test_support::PumpUntil(cond, timeout_ms);
}

// Worker-side wait with a deadline (never a fixed sleep).
bool SpinUntil(const std::function<bool()>& cond, DWORD timeout_ms = 10000) {
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  while (!cond()) {
    if (::GetTickCount64() > deadline) return false;
    ::Sleep(1);  // polling interval, not a wait for time to pass
  }
  return true;
}

class EventLog {
 public:
  void Add(const std::string& e) {
    std::lock_guard<std::mutex> hold(lock_);
    events_.push_back(e);
  }
  std::vector<std::string> Get() {
    std::lock_guard<std::mutex> hold(lock_);
    return events_;
  }

 private:
  std::mutex lock_;
  std::vector<std::string> events_;
};

class LoggingTask : public CAsyncTask {
 public:
  LoggingTask(EventLog* log, std::string name, std::function<void(LoggingTask*)> body = nullptr)
      : log_(log), name_(std::move(name)), body_(std::move(body)) {}
  void Run() override {
    run_thread = ::GetCurrentThreadId();
    log_->Add("run " + name_);
    if (body_) body_(this);
    run_ended.store(true);
  }
  void OnComplete() override {
    complete_thread = ::GetCurrentThreadId();
    log_->Add("done " + name_);
  }
  LRESULT Send(HWND target, UINT message, WPARAM w, LPARAM l) {
    return SendToWindow(target, message, w, l);
  }

  std::atomic<bool> run_ended{false};
  DWORD run_thread = 0;
  DWORD complete_thread = 0;

 private:
  EventLog* log_;
  std::string name_;
  std::function<void(LoggingTask*)> body_;
};

class LimitedQueue : public CAsyncTaskQueue {
 public:
  explicit LimitedQueue(int limit) : limit_(limit) {}
  void SetLimit(int limit) { limit_.store(limit); }
  std::vector<int> started;

 protected:
  int MaxRunning() override { return limit_.load(); }
  void OnStart(const std::shared_ptr<CAsyncTask>& task) override {
    started.push_back(task->GetId());
  }

 private:
  std::atomic<int> limit_;
};

// A message target that records which thread handled each message.
class RecordingWindow : public FCMessageWindow {
 public:
  std::vector<UINT> messages;
  DWORD handler_thread = 0;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message >= WM_APP) {
      messages.push_back(message);
      handler_thread = ::GetCurrentThreadId();
      return static_cast<LRESULT>(wparam + 1);
    }
    return FCMessageWindow::WindowProc(message, wparam, lparam);
  }
};

TEST(AsyncTaskQueueTest, OneAtATimeRunsAndCompletesInOrderOnTheInterfaceThread) {
  EventLog log;
  CAsyncTaskQueue queue;
  ASSERT_NE(queue.GetSafeHwnd(), nullptr);
  std::vector<std::shared_ptr<LoggingTask>> tasks;
  for (const char* name : {"a", "b", "c"}) {
    tasks.push_back(std::make_shared<LoggingTask>(&log, name));
    queue.Enqueue(tasks.back());
  }
  EXPECT_EQ(queue.RunningCount(), 1u);
  EXPECT_EQ(queue.PendingCount(), 2u);
  ASSERT_TRUE(PumpUntil([&] { return log.Get().size() == 6; }));
  const std::vector<std::string> expected = {"run a",  "done a", "run b",
                                             "done b", "run c",  "done c"};
  EXPECT_EQ(log.Get(), expected);
  for (auto& t : tasks) {
    EXPECT_EQ(t->complete_thread, ::GetCurrentThreadId());
    EXPECT_NE(t->run_thread, ::GetCurrentThreadId());
  }
  EXPECT_LT(tasks[0]->GetId(), tasks[1]->GetId());
  EXPECT_EQ(queue.RunningCount(), 0u);
}

TEST(AsyncTaskQueueTest, MaxRunningZeroHoldsTasksUntilThePumpRunsAgain) {
  EventLog log;
  LimitedQueue queue(0);
  auto first = std::make_shared<LoggingTask>(&log, "1");
  auto second = std::make_shared<LoggingTask>(&log, "2");
  queue.Enqueue(first);
  queue.Enqueue(second);
  // The pump is synchronous: anything it would start would be running now.
  EXPECT_EQ(queue.RunningCount(), 0u);
  EXPECT_EQ(queue.PendingCount(), 2u);
  EXPECT_TRUE(queue.started.empty());
  queue.SetLimit(1);
  queue.StartPending();
  ASSERT_TRUE(PumpUntil([&] { return log.Get().size() == 4; }));
  EXPECT_EQ(log.Get(), (std::vector<std::string>{"run 1", "done 1", "run 2", "done 2"}));
  EXPECT_EQ(queue.started, (std::vector<int>{first->GetId(), second->GetId()}));
}

TEST(AsyncTaskQueueTest, FlushWaitsForRunningTasksAndDeliversCompletionsLater) {
  EventLog log;
  LimitedQueue queue(2);
  // Each task holds on until Flush has taken the queue window away, so both are still running
  // when Flush starts waiting (the pool may run them side by side or one after the other).
  auto barrier = [](LoggingTask* self) {
    SpinUntil([&] { return !::IsWindow(self->GetQueueWindow()); });
  };
  auto a = std::make_shared<LoggingTask>(&log, "a", barrier);
  auto b = std::make_shared<LoggingTask>(&log, "b", barrier);
  auto c = std::make_shared<LoggingTask>(&log, "c");
  queue.Enqueue(a);
  queue.Enqueue(b);
  queue.Enqueue(c);
  EXPECT_EQ(queue.RunningCount(), 2u);
  queue.Flush();
  EXPECT_TRUE(a->run_ended.load());
  EXPECT_TRUE(b->run_ended.load());
  EXPECT_EQ(a->complete_thread, 0u);
  EXPECT_EQ(b->complete_thread, 0u);
  EXPECT_EQ(queue.PendingCount(), 1u);  // pending work stays queued
  ASSERT_TRUE(PumpUntil([&] { return c->complete_thread != 0; }));
  std::vector<std::string> events = log.Get();
  auto pos = [&](const std::string& e) {
    for (size_t i = 0; i < events.size(); ++i)
      if (events[i] == e) return static_cast<int>(i);
    return -1;
  };
  EXPECT_LT(pos("done a"), pos("done b"));  // id order
  EXPECT_LT(pos("done b"), pos("run c"));
  EXPECT_EQ(a->complete_thread, ::GetCurrentThreadId());
}

TEST(AsyncTaskQueueTest, WorkerSendsThroughTheInterfaceThread) {
  EventLog log;
  CAsyncTaskQueue queue;
  RecordingWindow target;
  ASSERT_TRUE(target.Create());
  std::atomic<LRESULT> answer{0};
  auto task = std::make_shared<LoggingTask>(&log, "s", [&](LoggingTask* self) {
    answer.store(self->Send(target.GetSafeHwnd(), WM_APP + 7, 41, 0));
  });
  queue.Enqueue(task);
  ASSERT_TRUE(PumpUntil([&] { return task->complete_thread != 0; }));
  EXPECT_EQ(answer.load(), 42);
  ASSERT_EQ(target.messages.size(), 1u);
  EXPECT_EQ(target.handler_thread, ::GetCurrentThreadId());
}

TEST(AsyncTaskQueueTest, TaskWhoseQueueWindowIsGoneSendsNothing) {
  EventLog log;
  CAsyncTaskQueue queue;
  RecordingWindow target;
  ASSERT_TRUE(target.Create());
  std::atomic<bool> in_run{false};
  std::atomic<LRESULT> answer{-1};
  auto task = std::make_shared<LoggingTask>(&log, "g", [&](LoggingTask* self) {
    in_run.store(true);
    // Flush destroys the queue window before waiting for us.
    SpinUntil([&] { return !::IsWindow(self->GetQueueWindow()); });
    answer.store(self->Send(target.GetSafeHwnd(), WM_APP + 1, 1, 0));
  });
  queue.Enqueue(task);
  ASSERT_TRUE(SpinUntil([&] { return in_run.load(); }));
  queue.Flush();
  EXPECT_TRUE(task->run_ended.load());
  EXPECT_EQ(answer.load(), 0);
  ASSERT_TRUE(PumpUntil([&] { return task->complete_thread != 0; }));
  EXPECT_TRUE(target.messages.empty());
}

TEST(AsyncTaskQueueTest, CancelDropAndDestroy) {
  EventLog log;
  std::weak_ptr<LoggingTask> dropped;
  std::shared_ptr<LoggingTask> running;
  std::atomic<bool> go{false};
  {
    CAsyncTaskQueue queue;
    running = std::make_shared<LoggingTask>(&log, "r", [&](LoggingTask* self) {
      SpinUntil([&] { return go.load() || !self->IsActive(); });
    });
    queue.Enqueue(running);
    {
      auto never = std::make_shared<LoggingTask>(&log, "never");
      dropped = never;
      queue.Enqueue(never);
    }
    queue.DropPending();
    EXPECT_TRUE(dropped.expired());
    queue.CancelAll();
    EXPECT_FALSE(running->IsActive());
    // Destroying the queue finishes the running task first and delivers nothing later.
  }
  EXPECT_TRUE(running->run_ended.load());
  EXPECT_EQ(running->complete_thread, 0u);
  for (const std::string& e : log.Get()) EXPECT_NE(e, "run never");
}

TEST(MessageWindowTest, TwoWindowsShareOneClassAndGetTheirOwnMessages) {
  RecordingWindow one, two;
  ASSERT_TRUE(one.Create());
  ASSERT_TRUE(two.Create());
  ASSERT_NE(one.GetSafeHwnd(), two.GetSafeHwnd());
  wchar_t name_one[128] = {}, name_two[128] = {};
  ::GetClassNameW(one.GetSafeHwnd(), name_one, 128);
  ::GetClassNameW(two.GetSafeHwnd(), name_two, 128);
  EXPECT_STREQ(name_one, name_two);
  const std::wstring expected =
      L"vantrel_msgwnd_" + std::to_wstring(static_cast<long long>(
                               reinterpret_cast<intptr_t>(::GetModuleHandleW(nullptr))));
  EXPECT_EQ(std::wstring(name_one), expected);
  EXPECT_EQ(::GetParent(one.GetSafeHwnd()), nullptr);
  EXPECT_EQ(::SendMessageW(one.GetSafeHwnd(), WM_APP + 1, 1, 0), 2);
  EXPECT_EQ(::SendMessageW(two.GetSafeHwnd(), WM_APP + 2, 2, 0), 3);
  EXPECT_EQ(one.messages, std::vector<UINT>{WM_APP + 1});
  EXPECT_EQ(two.messages, std::vector<UINT>{WM_APP + 2});
  HWND old = one.GetSafeHwnd();
  ASSERT_TRUE(one.Create());  // re-creation replaces the window
  EXPECT_FALSE(::IsWindow(old));
  ::DestroyWindow(two.GetSafeHwnd());  // destroyed from outside: the object forgets it
  EXPECT_EQ(two.GetSafeHwnd(), nullptr);
}

TEST(AutoInitializeComTest, BalancesOnlyWhatItInitialised) {
  {
    FCAutoInitializeCOM outer;
    EXPECT_TRUE(SUCCEEDED(outer.Result()));
    FCAutoInitializeCOM inner;
    EXPECT_EQ(inner.Result(), S_FALSE);
  }
  // A multithreaded apartment on this thread now succeeds: the STA was fully released.
  HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  EXPECT_TRUE(SUCCEEDED(hr));
  if (SUCCEEDED(hr)) ::CoUninitialize();
}

}  // namespace
