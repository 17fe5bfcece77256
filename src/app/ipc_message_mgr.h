#pragma once

#include <stdint.h>

#include <string>

#include "ipc-message/message/channel.h"
#include "ipc-message/message/ipc_message.h"

// The viewer's end of the message channel to the companion tray program: one client-side
// CChannel, connected while the main window exists. Sends are unqueued and fire-and-forget.
class CIPCMessageMgr {
 public:
  static constexpr const wchar_t* kChannelName = L"DiSVO-qd0s5dnr97138p58";
  // Messages to the tray are routed to 1; the main window listens with 2.
  static constexpr int kTrayRoutingId = 1;
  static constexpr int kViewerRoutingId = 2;
  enum MessageType : uint32_t {
    kQuickIndex = 1,
    kExit = 2,  // viewer -> tray: the last viewer closes completely; tray -> viewer: quit
    kSnipHotkey = 3,
    kAssociation = 4,
    kLockscreenSwitch = 5,
    kLockscreenTime = 6,
  };

  CIPCMessageMgr();
  // Another channel name, for tests.
  explicit CIPCMessageMgr(std::wstring channel_name);
  ~CIPCMessageMgr();
  CIPCMessageMgr(const CIPCMessageMgr&) = delete;
  CIPCMessageMgr& operator=(const CIPCMessageMgr&) = delete;

  // The process-wide manager (CSingletonT); ended by Destroy during application exit.
  static CIPCMessageMgr& Instance();
  static void Destroy();

  bool Connect();
  bool AddListener(IChannelListener* listener);
  bool RemoveListener(IChannelListener* listener);
  // 1 when the tray's window was found; the tray not running is not an error.
  int Send(const IPC::Message& message);
  void Disconnect();
  bool IsConnected() const { return channel_.IsConnected(); }

  // The viewer's messages to the tray (routing 1, priority 2): types 1, 3, 5 and 6 carry
  // `value`; type 4 carries `text` then `value` as its state; type 2 carries nothing.
  static IPC::Message MakeTrayMessage(uint32_t type, int value = 0,
                                      const std::string& text = std::string());
  int SendToTray(uint32_t type, int value = 0, const std::string& text = std::string());

 private:
  std::wstring channel_name_;
  CChannel channel_;
};
