#include "ipc-message/message/channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ipc-message/message/channelimpl.h"
#include "unit/ipc_message/test_util.h"

namespace {

using ipc_test::PumpUntil;
using ipc_test::UniqueName;

struct Received {
  int32_t routing;
  uint32_t type;
  std::string text;
  int value;
};

class RecordingListener : public IChannelListener2 {
 public:
  explicit RecordingListener(int routing_id) : routing_id_(routing_id) {}
  void OnMessageReceived(const IPC::Message& message) override {
    Received r{message.routing_id(), message.type(), std::string(), 0};
    PickleIterator it(message);
    if (message.type() == 4) {
      it.ReadString(&r.text);
    }
    it.ReadInt(&r.value);
    received.push_back(r);
    if (on_message) on_message(message);
  }
  int GetRoutingId() override { return routing_id_; }
  void OnPeerLost(bool state) override {
    ++peer_lost;
    peer_lost_state = state;
  }

  std::vector<Received> received;
  std::function<void(const IPC::Message&)> on_message;
  int peer_lost = 0;
  bool peer_lost_state = false;

 private:
  int routing_id_;
};

class PlainListener : public IChannelListener {
 public:
  void OnMessageReceived(const IPC::Message&) override { ++count; }
  int GetRoutingId() override { return 2; }
  int count = 0;
};

IPC::Message Make(int32_t routing, uint32_t type, int value) {
  IPC::Message m(routing, type, IPC::Message::PRIORITY_NORMAL);
  m.WriteInt(value);
  return m;
}

TEST(ChannelTest, WindowNamesAndNotConnected) {
  std::wstring name = UniqueName(L"names");
  CChannel channel;
  EXPECT_EQ(0, channel.Send(Make(0, 1, 1), false, true));
  EXPECT_EQ(0, channel.Send(Make(0, 1, 1), true, false));
  RecordingListener listener(2);
  EXPECT_FALSE(channel.AddListener(&listener));
  ASSERT_TRUE(channel.Connect(name, true));
  EXPECT_TRUE(channel.Connect(name, true));  // already connected: nothing happens
  wchar_t text[256] = {};
  ::GetWindowTextW(channel.window(), text, 256);
  EXPECT_EQ(L"Lumora.Client.MsgClass." + name, text);
  ::GetClassNameW(channel.window(), text, 256);
  EXPECT_EQ(L"Lumora.Client.MsgClass." + name, text);
  EXPECT_EQ(channel.window(), CChannelImpl::FindPeerWindow(L"Lumora.Client.MsgClass." + name));

  CChannel server;
  ASSERT_TRUE(server.Connect(name, false));
  ::GetWindowTextW(server.window(), text, 256);
  EXPECT_EQ(L"Lumora.Server.MsgClass." + name, text);
  EXPECT_EQ(channel.window(), server.peer_window());  // found at once: the client existed
  server.Close();
  channel.Close();
  EXPECT_EQ(nullptr, CChannelImpl::FindPeerWindow(L"Lumora.Client.MsgClass." + name));
  EXPECT_EQ(0, channel.Send(Make(0, 1, 1), false, true));
}

TEST(ChannelTest, RoutingZeroReachesOwnListenersWithoutPeer) {
  CChannel channel;
  ASSERT_TRUE(channel.Connect(UniqueName(L"nopeer"), true));
  RecordingListener listener(2);
  ASSERT_TRUE(channel.AddListener(&listener));

  // Dispatch now: delivered before Send returns; no peer, so the result is 0.
  EXPECT_EQ(0, channel.Send(Make(0, 7, 11), false, true));
  ASSERT_EQ(1u, listener.received.size());
  EXPECT_EQ(7u, listener.received[0].type);
  EXPECT_EQ(11, listener.received[0].value);
  // Dispatch later: arrives through the window's own queue.
  EXPECT_EQ(0, channel.Send(Make(0, 8, 12), false, false));
  EXPECT_EQ(1u, listener.received.size());
  ASSERT_TRUE(PumpUntil([&] { return listener.received.size() == 2; }));
  EXPECT_EQ(12, listener.received[1].value);
  // A routed message goes to the peer only.
  EXPECT_EQ(0, channel.Send(Make(2, 9, 13), false, true));
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(2u, listener.received.size());
  // Removed listeners hear nothing.
  channel.RemoveListener(&listener);
  channel.Send(Make(0, 7, 14), false, true);
  EXPECT_EQ(2u, listener.received.size());
}

TEST(ChannelTest, DispatchByRoutingId) {
  std::wstring name = UniqueName(L"routing");
  CChannel server, client;
  ASSERT_TRUE(server.Connect(name, false));
  ASSERT_TRUE(client.Connect(name, true));
  RecordingListener tray(1), viewer(2), own(5);
  PlainListener plain;
  server.AddListener(&tray);
  server.AddListener(&viewer);
  server.AddListener(&plain);
  client.AddListener(&own);

  EXPECT_EQ(1, client.Send(Make(1, 2, 0), false, true));  // the exit message, routed to 1
  ASSERT_EQ(1u, tray.received.size());
  EXPECT_EQ(2u, tray.received[0].type);
  EXPECT_TRUE(viewer.received.empty());  // routing 1 never reaches a listener with id 2
  EXPECT_EQ(0, plain.count);

  EXPECT_EQ(1, client.Send(Make(2, 2, 0), false, true));
  EXPECT_EQ(1u, tray.received.size());
  EXPECT_EQ(1u, viewer.received.size());
  EXPECT_EQ(1, plain.count);

  IPC::Message assoc(1, 4, IPC::Message::PRIORITY_NORMAL);
  assoc.WriteString("open");
  assoc.WriteInt(1);
  EXPECT_EQ(1, client.Send(assoc, false, false));
  ASSERT_TRUE(PumpUntil([&] { return tray.received.size() == 2; }));
  EXPECT_EQ("open", tray.received[1].text);
  EXPECT_EQ(1, tray.received[1].value);

  // Routing 0: every listener on both sides.
  EXPECT_EQ(1, client.Send(Make(0, 2, 0), false, true));
  EXPECT_EQ(3u, tray.received.size());
  EXPECT_EQ(2u, viewer.received.size());
  EXPECT_EQ(2, plain.count);
  EXPECT_EQ(1u, own.received.size());
  EXPECT_TRUE(own.received[0].routing == 0);
}

TEST(ChannelTest, WatchdogReportsPeerLoss) {
  std::wstring name = UniqueName(L"watchdog");
  CChannel client;
  ASSERT_TRUE(client.Connect(name, true));
  RecordingListener listener2(2);
  PlainListener plain;
  client.AddListener(&listener2);
  client.AddListener(&plain);
  EXPECT_EQ(nullptr, client.peer_window());

  auto server = std::make_unique<CChannel>();
  ASSERT_TRUE(server->Connect(name, false));
  HWND server_window = server->window();
  // The watchdog finds a peer that appeared later.
  ASSERT_TRUE(PumpUntil([&] { return client.peer_window() == server_window; }, 4000));
  EXPECT_EQ(0, listener2.peer_lost);

  server.reset();
  ASSERT_TRUE(PumpUntil([&] { return listener2.peer_lost == 1; }, 4000));
  EXPECT_TRUE(listener2.peer_lost_state);
  // Reported once: the watchdog has stopped.
  PumpUntil([] { return false; }, 1500);
  EXPECT_EQ(1, listener2.peer_lost);
  EXPECT_EQ(0, client.Send(Make(1, 1, 1), false, true));

  // A new peer is still found by the next send.
  CChannel again;
  ASSERT_TRUE(again.Connect(name, false));
  RecordingListener tray(1);
  again.AddListener(&tray);
  EXPECT_EQ(1, client.Send(Make(1, 1, 1), false, true));
  EXPECT_EQ(1u, tray.received.size());
}

TEST(ChannelTest, ListenerMayCloseTheChannelWhileDispatching) {
  std::wstring name = UniqueName(L"reentry");
  CChannel server, client;
  ASSERT_TRUE(server.Connect(name, false));
  ASSERT_TRUE(client.Connect(name, true));
  // Whichever is called first removes the other and closes the channel from inside.
  RecordingListener a(1), b(1);
  a.on_message = [&](const IPC::Message&) {
    server.RemoveListener(&b);
    server.Close();
  };
  b.on_message = [&](const IPC::Message&) {
    server.RemoveListener(&a);
    server.Close();
  };
  server.AddListener(&a);
  server.AddListener(&b);
  // Both wait in the server window's queue; the first dispatch ends the channel.
  client.Send(Make(1, 1, 1), false, false);
  client.Send(Make(1, 1, 2), false, false);
  PumpUntil([] { return false; }, 300);
  ASSERT_EQ(1u, a.received.size() + b.received.size());
  EXPECT_EQ(1, (a.received.empty() ? b : a).received[0].value);
  EXPECT_FALSE(server.IsConnected());
  EXPECT_EQ(0, client.Send(Make(1, 1, 3), false, true));
}

TEST(ChannelTest, QueuedSendsKeepOrderAndCloseJoinsTheSender) {
  std::wstring name = UniqueName(L"queued");
  CChannel server;
  ASSERT_TRUE(server.Connect(name, false));
  RecordingListener tray(1);
  server.AddListener(&tray);
  auto client = std::make_unique<CChannel>();
  ASSERT_TRUE(client->Connect(name, true));
  RecordingListener own(2);
  client->AddListener(&own);

  // From another thread as well: sends may come from anywhere.
  std::thread other([&] {
    for (int i = 0; i < 50; ++i) client->Send(Make(1, 6, 1000 + i), true, false);
  });
  other.join();
  for (int i = 0; i < 50; ++i) EXPECT_EQ(1, client->Send(Make(1, 6, i), true, false));
  EXPECT_EQ(1, client->Send(Make(1, 0, -1), true, false));  // type 0 is never sent
  EXPECT_EQ(1, client->Send(Make(0, 5, 77), true, false));  // broadcast: both sides
  ASSERT_TRUE(PumpUntil([&] { return tray.received.size() == 101 && own.received.size() == 1; }));
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(1000 + i, tray.received[i].value);
    EXPECT_EQ(i, tray.received[50 + i].value);
  }
  EXPECT_EQ(77, tray.received[100].value);
  EXPECT_EQ(77, own.received[0].value);

  // Closing with messages still queued ends well inside the join time.
  for (int i = 0; i < 200; ++i) client->Send(Make(1, 6, i), true, false);
  ULONGLONG start = ::GetTickCount64();
  client->Close();
  EXPECT_LT(::GetTickCount64() - start, 9000u);
  EXPECT_EQ(0, client->Send(Make(1, 6, 0), true, false));
  client.reset();
  PumpUntil([] { return false; }, 200);
}

// A few thousand hostile buffers at a live window: no crash, and exactly the well-formed ones
// that are routed to us reach the listener.
TEST(ChannelTest, StressRandomBuffers) {
  std::wstring name = UniqueName(L"stress");
  CChannel server;
  ASSERT_TRUE(server.Connect(name, false));
  RecordingListener listener(7);
  std::atomic<int> reads{0};
  listener.on_message = [&](const IPC::Message& m) {
    PickleIterator it(m);
    std::string s;
    int v;
    while (it.ReadString(&s) || it.ReadInt(&v)) ++reads;
  };
  server.AddListener(&listener);
  HWND target = server.window();

  std::atomic<bool> done{false};
  std::atomic<int> expected{0};
  std::thread sender([&] {
    std::mt19937 rng(777);
    for (int n = 0; n < 3000; ++n) {
      std::vector<char> bytes;
      if (n % 3 == 0) {
        bytes.resize(rng() % 64);
        for (char& c : bytes) c = static_cast<char>(rng());
      } else {
        const int32_t routings[] = {0, 7, 3};
        IPC::Message m(routings[rng() % 3], rng() % 8, IPC::Message::PRIORITY_NORMAL);
        for (int k = rng() % 4; k > 0; --k) {
          if (rng() % 2) {
            m.WriteString(std::string(rng() % 20, 'q'));
          } else {
            m.WriteInt(static_cast<int>(rng()));
          }
        }
        const char* p = static_cast<const char*>(m.data());
        bytes.assign(p, p + m.size());
        switch (rng() % 5) {
          case 0:
            bytes.resize(rng() % (bytes.size() + 1));
            break;  // truncated
          case 1:
            bytes[rng() % bytes.size()] = static_cast<char>(rng());
            break;
          case 2:
            bytes.push_back(static_cast<char>(rng()));
            break;  // header grows by 1
          case 3:
            if (bytes.size() > 20) bytes[4 + rng() % 16] = static_cast<char>(rng());
            break;
          default:
            break;
        }
      }
      const ULONG_PTR tags[] = {CChannelImpl::kDispatchLater, CChannelImpl::kDispatchNow, 0x1234};
      ULONG_PTR tag = tags[rng() % 3];
      bool should_arrive = false;
      if (tag != 0x1234 && bytes.size() >= 4) {
        uint32_t payload = ipc_test::GetU32(bytes.data());
        size_t h = bytes.size() - payload;
        if (payload <= bytes.size() && h >= 16 && h % 4 == 0) {
          int32_t routing = static_cast<int32_t>(ipc_test::GetU32(bytes.data() + 4));
          should_arrive = routing == 0 || routing == 7;
        }
      }
      if (should_arrive) ++expected;
      COPYDATASTRUCT cds = {tag, static_cast<DWORD>(bytes.size()),
                            bytes.empty() ? nullptr : bytes.data()};
      DWORD_PTR result = 0;
      ::SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                            SMTO_NOTIMEOUTIFNOTHUNG, 5000, &result);
      // Forged notifications carry nothing and destroy nothing.
      if (n % 100 == 0) {
        ::PostMessageW(target, CChannelImpl::kMsgDispatchPending, 8, 0x12345678);
        ::PostMessageW(target, CChannelImpl::kMsgDestroy, 0, 0);
      }
    }
    done = true;
  });
  bool finished = PumpUntil(
      [&] { return done && static_cast<int>(listener.received.size()) >= expected; }, 60000);
  sender.join();
  PumpUntil([] { return false; }, 100);
  ASSERT_TRUE(finished);
  EXPECT_EQ(expected.load(), static_cast<int>(listener.received.size()));
  EXPECT_GT(expected.load(), 300);
  EXPECT_TRUE(::IsWindow(target));

  // Still a working channel afterwards.
  CChannel client;
  ASSERT_TRUE(client.Connect(name, true));
  size_t before = listener.received.size();
  EXPECT_EQ(1, client.Send(Make(7, 3, 5), false, true));
  EXPECT_EQ(before + 1, listener.received.size());
}

}  // namespace
