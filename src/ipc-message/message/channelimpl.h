#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "basic_lib/scoped_handle.h"
#include "ipc-message/message/channel.h"
#include "ipc-message/message/ipc_message.h"

// The window protocol of CChannel. The object is shared: the window procedure holds a reference
// while it runs, so a listener may close the channel from inside a dispatch.
class CChannelImpl : public std::enable_shared_from_this<CChannelImpl> {
 public:
  // WM_COPYDATA tags: dispatch from the receiver's queue, or before the receiver answers.
  static constexpr ULONG_PTR kDispatchLater = 0x8888;
  static constexpr ULONG_PTR kDispatchNow = 0x8889;
  static constexpr UINT kMsgDispatchPending = WM_USER + 100;  // 0x0464
  static constexpr UINT kMsgDestroy = WM_USER + 101;          // 0x0465
  static constexpr UINT_PTR kWatchdogTimer = 100;
  static constexpr UINT kWatchdogPeriodMs = 1000;
  static constexpr UINT kSendTimeoutMs = 5000;
  static constexpr DWORD kSenderJoinMs = 10000;
  // Received messages waiting for dispatch; a flood beyond this is dropped.
  static constexpr size_t kMaxPending = 10000;
  // Queued outgoing messages; a send beyond this is refused.
  static constexpr size_t kMaxQueued = 10000;

  CChannelImpl(const std::wstring& own_name, const std::wstring& peer_name);
  ~CChannelImpl();
  CChannelImpl(const CChannelImpl&) = delete;
  CChannelImpl& operator=(const CChannelImpl&) = delete;

  bool Open();
  void Close();
  bool AddListener(IChannelListener* listener);
  bool RemoveListener(IChannelListener* listener);
  int Send(const IPC::Message& message, bool queued, bool synchronous_dispatch);

  HWND window() const;
  HWND peer_window() const;

  // Peer lookup by class name = window name, top-level windows first, then message-only ones.
  static HWND FindPeerWindow(const std::wstring& name);

 private:
  // What the sender thread shares with the channel; it outlives the channel when the thread
  // does not end within the join time.
  struct Link {
    std::wstring peer_name;
    std::atomic<HWND> own_window{nullptr};
    std::atomic<HWND> peer_window{nullptr};
    std::mutex queue_lock;
    std::deque<std::unique_ptr<IPC::Message>> queue;
    basic_lib::ScopedKernelHandle queue_event;  // auto-reset; made before the first thread

    // True when the peer's window is known after the lookup.
    bool SendImpl(const IPC::Message& message, ULONG_PTR tag);
  };
  // Handed to one sender thread, which owns it.
  struct SenderParam {
    std::shared_ptr<Link> link;
    basic_lib::ScopedKernelHandle stop;  // the thread's own copy of its stop event
  };
  struct FreeDeleter {
    void operator()(char* p) const { free(p); }
  };
  using Buffer = std::pair<std::unique_ptr<char, FreeDeleter>, size_t>;

  static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam);
  static unsigned __stdcall SenderThreadProc(void* param);

  LRESULT HandleMessage(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT OnCopyData(const COPYDATASTRUCT* cds);
  void DispatchPending();
  void Dispatch(const char* data, size_t length);
  void OnWatchdog(HWND wnd);
  bool IsListening(IChannelListener* listener);
  bool EnsureSender();

  const std::wstring own_name_;
  std::shared_ptr<Link> link_;
  HWND window_ = nullptr;
  bool connected_ = false;
  bool timer_running_ = false;
  std::atomic<bool> closing_{false};

  std::mutex listener_lock_;
  // Listener, and whether it also implements IChannelListener2.
  std::map<IChannelListener*, bool> listeners_;

  // Copies of received messages, touched only on the window's thread.
  std::deque<Buffer> pending_;

  std::mutex sender_lock_;
  basic_lib::ScopedKernelHandle sender_thread_;
  basic_lib::ScopedKernelHandle sender_stop_;  // manual-reset
  // Threads told to stop by a peer loss, joined by Close.
  std::vector<basic_lib::ScopedKernelHandle> stopped_threads_;
};
