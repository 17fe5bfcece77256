#include "ipc-message/message/channel.h"

#include "ipc-message/message/channelimpl.h"

CChannel::CChannel() = default;

CChannel::~CChannel() { Close(); }

bool CChannel::Connect(const std::wstring& name, bool as_client) {
  if (impl_) return true;
  std::wstring client = std::wstring(kClientPrefix) + name;
  std::wstring server = std::wstring(kServerPrefix) + name;
  auto impl = as_client ? std::make_shared<CChannelImpl>(client, server)
                        : std::make_shared<CChannelImpl>(server, client);
  if (!impl->Open()) {
    impl->Close();
    return false;
  }
  impl_ = std::move(impl);
  return true;
}

bool CChannel::AddListener(IChannelListener* listener) {
  return impl_ ? impl_->AddListener(listener) : false;
}

bool CChannel::RemoveListener(IChannelListener* listener) {
  return impl_ ? impl_->RemoveListener(listener) : false;
}

int CChannel::Send(const IPC::Message& message, bool queued, bool synchronous_dispatch) {
  return impl_ ? impl_->Send(message, queued, synchronous_dispatch) : 0;
}

void CChannel::Close() {
  if (!impl_) return;
  // Taken out first, so a listener that closes again from inside the dispatch finds nothing.
  std::shared_ptr<CChannelImpl> impl = std::move(impl_);
  impl->Close();
}

HWND CChannel::window() const { return impl_ ? impl_->window() : nullptr; }

HWND CChannel::peer_window() const { return impl_ ? impl_->peer_window() : nullptr; }
