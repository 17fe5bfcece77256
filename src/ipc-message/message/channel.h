#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "ipc-message/message/ipc_message.h"

// Receives the messages whose routing equals GetRoutingId(), and every routing-0 message.
class IChannelListener {
 public:
  virtual ~IChannelListener() = default;
  virtual void OnMessageReceived(const IPC::Message& message) = 0;
  virtual int GetRoutingId() = 0;
};

class IChannelListener2 : public IChannelListener {
 public:
  // The peer's window went away; `state` is whether the channel was connected.
  virtual void OnPeerLost(bool state) = 0;
};

class CChannelImpl;

// One side of a named channel between two processes: a hidden message-only window named
// "Lumora.Client.MsgClass." or "Lumora.Server.MsgClass." + name, and the peer's window of the
// other name. Messages arrive on the thread that called Connect, which must pump messages.
class CChannel {
 public:
  static constexpr const wchar_t* kClientPrefix = L"Lumora.Client.MsgClass.";
  static constexpr const wchar_t* kServerPrefix = L"Lumora.Server.MsgClass.";

  CChannel();
  ~CChannel();  // closes
  CChannel(const CChannel&) = delete;
  CChannel& operator=(const CChannel&) = delete;

  // Nothing happens when already connected. False when the window cannot be made.
  bool Connect(const std::wstring& name, bool as_client);
  bool IsConnected() const { return impl_ != nullptr; }
  // Both are no-ops while not connected (listeners belong to one connection).
  bool AddListener(IChannelListener* listener);
  bool RemoveListener(IChannelListener* listener);
  // Not queued: sends on the calling thread; 1 when the peer's window was found, else 0. The
  // peer then dispatches before it answers (synchronous_dispatch) or later from its own queue.
  // Queued: hands a copy to the sender thread; 1 when accepted. 0 while not connected.
  // Routing-0 messages also reach this side's own listeners.
  int Send(const IPC::Message& message, bool queued, bool synchronous_dispatch);
  // Stops the watchdog and the sender thread (up to 10 s), then destroys the window.
  void Close();

  // This side's window and the peer's last known window (for diagnostics and tests).
  HWND window() const;
  HWND peer_window() const;

 private:
  std::shared_ptr<CChannelImpl> impl_;
};
