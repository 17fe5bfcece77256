#include "app/ipc_message_mgr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit/ipc_message/test_util.h"

namespace {

using ipc_test::PumpUntil;
using ipc_test::UniqueName;

std::vector<unsigned char> Wire(const IPC::Message& m) {
  const auto* p = static_cast<const unsigned char*>(m.data());
  return std::vector<unsigned char>(p, p + m.size());
}

// The payload and routing of every message the viewer sends to the tray.
TEST(IPCMessageMgrTest, TrayMessagesAreByteExact) {
  struct Case {
    uint32_t type;
    int value;
    std::string text;
    std::vector<unsigned char> payload;
  };
  const Case cases[] = {
      {1, 1, "", {1, 0, 0, 0}},
      {1, 0, "", {0, 0, 0, 0}},
      {2, 0, "", {}},
      {3, 0x0241, "", {0x41, 0x02, 0, 0}},
      {4, 1, "open", {4, 0, 0, 0, 'o', 'p', 'e', 'n', 1, 0, 0, 0}},
      {4, 0, "jpg", {3, 0, 0, 0, 'j', 'p', 'g', 0, 0, 0, 0, 0}},
      {5, 1, "", {1, 0, 0, 0}},
      {6, 30, "", {30, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    IPC::Message m = CIPCMessageMgr::MakeTrayMessage(c.type, c.value, c.text);
    std::vector<unsigned char> wire = Wire(m);
    ASSERT_EQ(16 + c.payload.size(), wire.size());
    EXPECT_EQ(c.payload, std::vector<unsigned char>(wire.begin() + 16, wire.end()));
    EXPECT_EQ(1, m.routing_id());
    EXPECT_EQ(c.type, m.type());
    EXPECT_EQ(2u, m.priority());
  }
}

class Recorder : public IChannelListener2 {
 public:
  explicit Recorder(int id) : id_(id) {}
  void OnMessageReceived(const IPC::Message& m) override { types.push_back(m.type()); }
  int GetRoutingId() override { return id_; }
  void OnPeerLost(bool) override {}
  std::vector<uint32_t> types;

 private:
  int id_;
};

TEST(IPCMessageMgrTest, ClientSideOfTheChannel) {
  EXPECT_STREQ(L"DiSVO-qd0s5dnr97138p58", CIPCMessageMgr::kChannelName);
  std::wstring name = UniqueName(L"mgr");
  CIPCMessageMgr mgr(name);
  // Without a tray nothing is sent and nothing fails.
  EXPECT_EQ(0, mgr.SendToTray(CIPCMessageMgr::kQuickIndex, 1));
  ASSERT_TRUE(mgr.Connect());
  wchar_t text[256] = {};
  // The client window is the one the tray looks for.
  HWND own =
      ::FindWindowExW(HWND_MESSAGE, nullptr, (L"Lumora.Client.MsgClass." + name).c_str(), nullptr);
  ASSERT_NE(nullptr, own);
  ::GetWindowTextW(own, text, 256);
  EXPECT_EQ(L"Lumora.Client.MsgClass." + name, text);
  EXPECT_EQ(0, mgr.SendToTray(CIPCMessageMgr::kQuickIndex, 1));

  CChannel tray;
  ASSERT_TRUE(tray.Connect(name, false));
  Recorder tray_side(1), viewer_side(2);
  tray.AddListener(&tray_side);
  mgr.AddListener(&viewer_side);
  EXPECT_EQ(1, mgr.SendToTray(CIPCMessageMgr::kQuickIndex, 1));
  EXPECT_EQ(1, mgr.SendToTray(CIPCMessageMgr::kAssociation, 1, "open"));
  EXPECT_EQ(1, mgr.SendToTray(CIPCMessageMgr::kExit));
  // Dispatched later by the receiving window, in order.
  ASSERT_TRUE(PumpUntil([&] { return tray_side.types.size() == 3; }));
  EXPECT_EQ((std::vector<uint32_t>{1, 4, 2}), tray_side.types);
  EXPECT_TRUE(viewer_side.types.empty());

  // The tray's quit reaches the viewer with routing 2 or 0, never with 1.
  tray.Send(IPC::Message(1, 2, IPC::Message::PRIORITY_NORMAL), false, true);
  tray.Send(IPC::Message(2, 2, IPC::Message::PRIORITY_NORMAL), false, true);
  tray.Send(IPC::Message(0, 2, IPC::Message::PRIORITY_NORMAL), false, true);
  EXPECT_EQ(2u, viewer_side.types.size());

  mgr.RemoveListener(&viewer_side);
  mgr.Disconnect();
  EXPECT_FALSE(mgr.IsConnected());
  EXPECT_EQ(0, mgr.SendToTray(CIPCMessageMgr::kQuickIndex, 1));
}

}  // namespace
