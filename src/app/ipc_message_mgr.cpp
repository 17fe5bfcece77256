#include "app/ipc_message_mgr.h"

#include <utility>

#include "basic_lib/singleton.h"

CIPCMessageMgr::CIPCMessageMgr() : CIPCMessageMgr(kChannelName) {}

CIPCMessageMgr::CIPCMessageMgr(std::wstring channel_name)
    : channel_name_(std::move(channel_name)) {}

CIPCMessageMgr::~CIPCMessageMgr() { Disconnect(); }

CIPCMessageMgr& CIPCMessageMgr::Instance() {
  return basic_lib::CSingletonT<CIPCMessageMgr>::Instance();
}

void CIPCMessageMgr::Destroy() { basic_lib::CSingletonT<CIPCMessageMgr>::Destroy(); }

bool CIPCMessageMgr::Connect() { return channel_.Connect(channel_name_, true); }

bool CIPCMessageMgr::AddListener(IChannelListener* listener) {
  return channel_.AddListener(listener);
}

bool CIPCMessageMgr::RemoveListener(IChannelListener* listener) {
  return channel_.RemoveListener(listener);
}

int CIPCMessageMgr::Send(const IPC::Message& message) {
  return channel_.Send(message, false, false);
}

void CIPCMessageMgr::Disconnect() { channel_.Close(); }

IPC::Message CIPCMessageMgr::MakeTrayMessage(uint32_t type, int value, const std::string& text) {
  IPC::Message message(kTrayRoutingId, type, IPC::Message::PRIORITY_NORMAL);
  if (type == kAssociation) message.WriteString(text);
  if (type != kExit) message.WriteInt(value);
  return message;
}

int CIPCMessageMgr::SendToTray(uint32_t type, int value, const std::string& text) {
  return Send(MakeTrayMessage(type, value, text));
}
