#include <gtest/gtest.h>

#include "app/command_ids.h"
#include "app/ipc_receiver.h"
#include "framework/win_app.h"

namespace {

// Stands in for the main window: records what the receivers forward.
class FakeMain : public framework::CWnd {
 public:
  WPARAM last_wparam = 12345;
  std::wstring last_text;
  LRESULT answer = 1;
  bool Create() {
    RegisterWindowClass(L"LumoraTestFakeMain");
    return CreateEx(0, L"LumoraTestFakeMain", L"", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0);
  }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) override {
    if (msg == WM_COPYDATA) {
      last_wparam = wparam;
      const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
      last_text.assign(static_cast<const wchar_t*>(cds->lpData), cds->cbData / 2 - 1);
      return answer;
    }
    return CWnd::WindowProc(msg, wparam, lparam);
  }
};

LRESULT SendText(HWND to, WPARAM wparam, const std::wstring& text) {
  COPYDATASTRUCT cds = {kOpenRequestTag, static_cast<DWORD>((text.size() + 1) * 2),
                        const_cast<wchar_t*>(text.c_str())};
  return ::SendMessageW(to, WM_COPYDATA, wparam, reinterpret_cast<LPARAM>(&cds));
}

TEST(ReceiverTest, ForwardToTheMainWindowAndReturnItsAnswer) {
  framework::CWinApp app;
  CIPCAlwaysReceiver always;
  CIPCReceiver single;
  ASSERT_TRUE(always.Create());
  ASSERT_TRUE(single.Create());

  // Findable as message-only windows by name.
  EXPECT_EQ(always.GetSafeHwnd(), ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr,
                                                  L"IPC-2FF8B16C98D54B499063C7F270264781_Always"));
  EXPECT_EQ(single.GetSafeHwnd(),
            ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, L"78LA95P677T88HPV48O23RK652C"));

  // No main window yet: refused.
  EXPECT_EQ(0, SendText(always.GetSafeHwnd(), 9, L"--show-existing"));

  FakeMain main;
  ASSERT_TRUE(main.Create());
  app.SetMainWnd(&main);
  EXPECT_EQ(1, SendText(always.GetSafeHwnd(), 9, L"--show-existing"));
  EXPECT_EQ(0u, main.last_wparam);
  EXPECT_EQ(L"--show-existing", main.last_text);

  main.answer = 0;
  EXPECT_EQ(0, SendText(single.GetSafeHwnd(), 9, L"C:\\x.jpg"));
  EXPECT_EQ(9u, main.last_wparam);
  EXPECT_EQ(L"C:\\x.jpg", main.last_text);

  app.SetMainWnd(nullptr);
  main.DestroyWindow();
}

}  // namespace
