#include "ipc-message/message/channelimpl.h"

#include <process.h>
#include <stdlib.h>
#include <string.h>

#include "ipc-message/message/log_utils.h"

namespace {

constexpr size_t kMaxNameLength = 200;  // window class names stop at 256 characters

// Waits for every handle up to `timeout_ms` in all, answering messages sent to this thread's
// windows meanwhile (a sender thread may be sending to our own window).
void WaitAnsweringSends(const std::vector<HANDLE>& handles, DWORD timeout_ms) {
  ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  for (HANDLE h : handles) {
    for (;;) {
      ULONGLONG now = ::GetTickCount64();
      DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
      DWORD r = ::MsgWaitForMultipleObjectsEx(1, &h, left, QS_SENDMESSAGE, 0);
      if (r == WAIT_OBJECT_0 + 1) {
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        continue;
      }
      break;
    }
  }
}

}  // namespace

CChannelImpl::CChannelImpl(const std::wstring& own_name, const std::wstring& peer_name)
    : own_name_(own_name), link_(std::make_shared<Link>()) {
  link_->peer_name = peer_name;
}

CChannelImpl::~CChannelImpl() { Close(); }

HWND CChannelImpl::FindPeerWindow(const std::wstring& name) {
  HWND wnd = ::FindWindowW(name.c_str(), name.c_str());
  // Windows leaves message-only windows out of FindWindowW; they are listed under HWND_MESSAGE.
  if (!wnd) wnd = ::FindWindowExW(HWND_MESSAGE, nullptr, name.c_str(), name.c_str());
  return wnd;
}

bool CChannelImpl::Open() {
  if (window_ || closing_) return window_ != nullptr;
  if (own_name_.empty() || own_name_.size() > kMaxNameLength ||
      link_->peer_name.size() > kMaxNameLength) {
    return false;
  }
  link_->peer_window = FindPeerWindow(link_->peer_name);

  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &CChannelImpl::WndProc;
  wc.hInstance = instance;
  wc.lpszClassName = own_name_.c_str();
  // A second channel of the same name in this process reuses the class.
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  window_ = ::CreateWindowExW(0, own_name_.c_str(), own_name_.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE,
                              nullptr, instance, this);
  if (!window_) return false;
  ::SetWindowTextW(window_, own_name_.c_str());
  link_->own_window = window_;
  connected_ = true;
  return true;
}

void CChannelImpl::Close() {
  if (closing_.exchange(true)) return;
  HWND wnd = window_;
  if (wnd && timer_running_ && ::GetWindowThreadProcessId(wnd, nullptr) == ::GetCurrentThreadId()) {
    ::KillTimer(wnd, kWatchdogTimer);
    timer_running_ = false;
  }

  std::vector<basic_lib::ScopedKernelHandle> threads;
  {
    std::lock_guard<std::mutex> lock(sender_lock_);
    if (sender_stop_) ::SetEvent(sender_stop_.Get());
    sender_stop_.Reset();
    if (sender_thread_) threads.push_back(std::move(sender_thread_));
    for (auto& t : stopped_threads_) threads.push_back(std::move(t));
    stopped_threads_.clear();
  }
  std::vector<HANDLE> raw;
  for (auto& t : threads) raw.push_back(t.Get());
  // A thread that does not end in time keeps its share of the link and ends on its own.
  if (!raw.empty()) WaitAnsweringSends(raw, kSenderJoinMs);

  if (wnd) ::SendMessageW(wnd, kMsgDestroy, 0, 0);
  connected_ = false;
}

bool CChannelImpl::AddListener(IChannelListener* listener) {
  if (!listener) return false;
  bool has_peer_lost = dynamic_cast<IChannelListener2*>(listener) != nullptr;
  std::lock_guard<std::mutex> lock(listener_lock_);
  listeners_[listener] = has_peer_lost;
  return true;
}

bool CChannelImpl::RemoveListener(IChannelListener* listener) {
  std::lock_guard<std::mutex> lock(listener_lock_);
  return listeners_.erase(listener) > 0;
}

bool CChannelImpl::IsListening(IChannelListener* listener) {
  std::lock_guard<std::mutex> lock(listener_lock_);
  return listeners_.count(listener) > 0;
}

HWND CChannelImpl::window() const { return window_; }

HWND CChannelImpl::peer_window() const { return link_->peer_window; }

int CChannelImpl::Send(const IPC::Message& message, bool queued, bool synchronous_dispatch) {
  if (closing_ || !link_->own_window || !message.IsValid()) return 0;
  if (!queued) {
    return link_->SendImpl(message, synchronous_dispatch ? kDispatchNow : kDispatchLater) ? 1 : 0;
  }
  if (!EnsureSender()) return 0;
  auto copy = std::make_unique<IPC::Message>(message);
  if (!copy->IsValid()) return 0;
  {
    std::lock_guard<std::mutex> lock(link_->queue_lock);
    if (link_->queue.size() >= kMaxQueued) return 0;
    link_->queue.push_back(std::move(copy));
  }
  ::SetEvent(link_->queue_event.Get());
  return 1;
}

bool CChannelImpl::EnsureSender() {
  std::lock_guard<std::mutex> lock(sender_lock_);
  if (closing_) return false;
  if (!link_->queue_event) {
    link_->queue_event.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!link_->queue_event) return false;
  }
  if (sender_thread_) return true;

  // First queued send, or the first one after a peer loss stopped the previous thread.
  basic_lib::ScopedKernelHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stop) return false;
  auto param = std::make_unique<SenderParam>();
  param->link = link_;
  HANDLE process = ::GetCurrentProcess();
  if (!::DuplicateHandle(process, stop.Get(), process, param->stop.Receive(), 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
    return false;
  }
  uintptr_t thread =
      ::_beginthreadex(nullptr, 0, &CChannelImpl::SenderThreadProc, param.get(), 0, nullptr);
  if (!thread) return false;
  param.release();  // the thread owns it now
  sender_thread_.Reset(reinterpret_cast<HANDLE>(thread));
  sender_stop_ = std::move(stop);
  return true;
}

unsigned __stdcall CChannelImpl::SenderThreadProc(void* raw_param) {
  std::unique_ptr<SenderParam> param(static_cast<SenderParam*>(raw_param));
  Link& link = *param->link;
  // The stop event comes first: when both are set, stopping wins.
  HANDLE handles[2] = {param->stop.Get(), link.queue_event.Get()};
  for (;;) {
    DWORD r = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (r != WAIT_OBJECT_0 + 1) break;
    std::unique_ptr<IPC::Message> message;
    {
      std::lock_guard<std::mutex> lock(link.queue_lock);
      if (!link.queue.empty()) {
        message = std::move(link.queue.front());
        link.queue.pop_front();
        if (!link.queue.empty()) ::SetEvent(link.queue_event.Get());
      }
    }
    if (message && message->type() != 0) link.SendImpl(*message, kDispatchLater);
  }
  return 0;
}

bool CChannelImpl::Link::SendImpl(const IPC::Message& message, ULONG_PTR tag) {
  HWND peer = peer_window;
  if (!::IsWindow(peer)) {
    peer = FindPeerWindow(peer_name);
    peer_window = peer;
  }
  HWND own = own_window;
  COPYDATASTRUCT cds = {};
  cds.dwData = tag;
  cds.cbData = static_cast<DWORD>(message.size());
  cds.lpData = const_cast<void*>(message.data());
  if (peer) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(peer, WM_COPYDATA, reinterpret_cast<WPARAM>(own),
                               reinterpret_cast<LPARAM>(&cds), SMTO_NOTIMEOUTIFNOTHUNG,
                               kSendTimeoutMs, &result)) {
      IPC_LOG(1, "CChannelImpl::SendImpl, SendMessageTimeout failed, error=" << ::GetLastError());
    }
  }
  // Broadcasts reach this side's listeners too, peer or not.
  if (message.routing_id() == 0 && own) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(own, WM_COPYDATA, reinterpret_cast<WPARAM>(own),
                          reinterpret_cast<LPARAM>(&cds), SMTO_NOTIMEOUTIFNOTHUNG, kSendTimeoutMs,
                          &result);
  }
  return peer != nullptr;
}

LRESULT CALLBACK CChannelImpl::WndProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* impl = reinterpret_cast<CChannelImpl*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY) ::SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
  if (!impl) return ::DefWindowProcW(wnd, msg, wparam, lparam);
  // A listener may close the channel while we are inside it; stay alive until we return.
  std::shared_ptr<CChannelImpl> keep = impl->weak_from_this().lock();
  return impl->HandleMessage(wnd, msg, wparam, lparam);
}

LRESULT CChannelImpl::HandleMessage(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CREATE:
      timer_running_ = ::SetTimer(wnd, kWatchdogTimer, kWatchdogPeriodMs, nullptr) != 0;
      return 0;
    case WM_COPYDATA:
      return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lparam));
    case kMsgDispatchPending:
      DispatchPending();
      return 0;
    case WM_TIMER:
      if (wparam == kWatchdogTimer) {
        OnWatchdog(wnd);
        return 0;
      }
      break;
    case kMsgDestroy:
      // Only our own Close asks for this; anyone else could post it.
      if (closing_) ::DestroyWindow(wnd);
      return 0;
    case WM_DESTROY:
      if (timer_running_) ::KillTimer(wnd, kWatchdogTimer);
      timer_running_ = false;
      pending_.clear();
      link_->own_window = nullptr;
      window_ = nullptr;
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(wnd, msg, wparam, lparam);
}

LRESULT CChannelImpl::OnCopyData(const COPYDATASTRUCT* cds) {
  if (!cds || closing_ || !cds->lpData || cds->cbData == 0) return TRUE;
  size_t length = cds->cbData;
  if (cds->dwData == kDispatchNow) {
    Dispatch(static_cast<const char*>(cds->lpData), length);
  } else if (cds->dwData == kDispatchLater) {
    if (length > IPC::Message::kMaxSize || pending_.size() >= kMaxPending) return TRUE;
    Buffer copy(std::unique_ptr<char, FreeDeleter>(static_cast<char*>(malloc(length))), length);
    if (!copy.first) return TRUE;
    memcpy(copy.first.get(), cds->lpData, length);
    pending_.push_back(std::move(copy));
    // The posted message only wakes us; the bytes never travel in it, so a forged 0x0464
    // from elsewhere can do no harm.
    ::PostMessageW(window_, kMsgDispatchPending, 0, 0);
  }
  return TRUE;
}

void CChannelImpl::DispatchPending() {
  // One wake-up drains everything, so a lost post only delays messages.
  while (!pending_.empty() && !closing_) {
    Buffer buffer = std::move(pending_.front());
    pending_.pop_front();
    Dispatch(buffer.first.get(), buffer.second);
  }
}

void CChannelImpl::Dispatch(const char* data, size_t length) {
  IPC::Message message(data, length);
  if (!message.IsValid()) return;
  std::vector<IChannelListener*> targets;
  {
    std::lock_guard<std::mutex> lock(listener_lock_);
    for (const auto& entry : listeners_) targets.push_back(entry.first);
  }
  int32_t routing = message.routing_id();
  for (IChannelListener* listener : targets) {
    if (closing_) break;
    // An earlier listener may have removed (and freed) this one.
    if (!IsListening(listener)) continue;
    if (routing == 0 || listener->GetRoutingId() == routing) listener->OnMessageReceived(message);
  }
}

void CChannelImpl::OnWatchdog(HWND wnd) {
  if (closing_) return;
  HWND peer = link_->peer_window;
  if (!peer) {
    link_->peer_window = FindPeerWindow(link_->peer_name);
    return;
  }
  if (::IsWindow(peer)) return;

  ::KillTimer(wnd, kWatchdogTimer);
  timer_running_ = false;
  {
    std::lock_guard<std::mutex> lock(sender_lock_);
    if (sender_stop_) ::SetEvent(sender_stop_.Get());
    sender_stop_.Reset();
    if (sender_thread_) stopped_threads_.push_back(std::move(sender_thread_));
  }
  std::vector<IChannelListener*> targets;
  {
    std::lock_guard<std::mutex> lock(listener_lock_);
    for (const auto& entry : listeners_) {
      if (entry.second) targets.push_back(entry.first);
    }
  }
  for (IChannelListener* listener : targets) {
    if (closing_) break;
    if (!IsListening(listener)) continue;
    if (auto* listener2 = dynamic_cast<IChannelListener2*>(listener)) {
      listener2->OnPeerLost(connected_);
    }
  }
}
