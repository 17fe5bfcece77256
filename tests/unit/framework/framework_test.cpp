#include <gtest/gtest.h>

#include "basic_lib/com_ptr.h"
#include "framework/dialog.h"
#include "framework/png_button.h"
#include "framework/win_app.h"
#include "res/resource.h"

namespace {

TEST(CommandTailTest, SkipsTheProgramPath) {
  struct Case {
    const wchar_t* line;
    const wchar_t* tail;
  } cases[] = {
      {L"\"C:\\Program Files\\Lumora\\LumoraViewer.exe\" \"C:\\a b.jpg\"", L"\"C:\\a b.jpg\""},
      {L"LumoraViewer.exe  --setting", L"--setting"},
      {L"LumoraViewer.exe", L""},
      {L"\"unclosed path", L""},
      {L"  prog.exe /install x", L"/install x"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.tail, framework::CommandTail(c.line)) << c.line;
  EXPECT_EQ(L"", framework::CommandTail(nullptr));
}

TEST(PngButtonTest, FrameChosenForEachStateAndStripLength) {
  using B = framework::CPngButton;
  EXPECT_EQ(0, B::FrameForState(3, B::kNormal));
  EXPECT_EQ(1, B::FrameForState(3, B::kHover));
  EXPECT_EQ(2, B::FrameForState(3, B::kPressed));
  EXPECT_EQ(-1, B::FrameForState(3, B::kDisabled));
  EXPECT_EQ(3, B::FrameForState(4, B::kDisabled));
  EXPECT_EQ(0, B::FrameForState(1, B::kPressed));
  EXPECT_EQ(-1, B::FrameForState(2, B::kNormal));
}

TEST(PngButtonTest, CaptionStripsAreThreeSquareFrames) {
  basic_lib::ScopedComInit com;
  for (UINT id : {IDP_CAPTION_CLOSE, IDP_CAPTION_MAXIMIZE, IDP_CAPTION_MINIMIZE,
                  IDP_CAPTION_RESTORE, IDP_CAPTION_FULLSCREEN}) {
    framework::CPngImage image;
    ASSERT_TRUE(image.LoadFromResource(::GetModuleHandleW(nullptr), id)) << id;
    EXPECT_EQ(90, image.Width()) << id;
    EXPECT_EQ(30, image.Height()) << id;
  }
  framework::CPngImage missing;
  EXPECT_FALSE(missing.LoadFromResource(::GetModuleHandleW(nullptr), 999));
  const unsigned char junk[] = {0x89, 'P', 'N', 'G', 1, 2, 3};
  EXPECT_FALSE(missing.LoadFromMemory(junk, sizeof(junk)));
}

// The main template names its own class; tests register it the way the program does.
bool RegisterMainClass() {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  const wchar_t kName[] = L"LumoraMainFrameClass-b1f78b3cc4bd764c";
  if (::GetClassInfoExW(::GetModuleHandleW(nullptr), kName, &wc)) return true;
  if (!::GetClassInfoExW(nullptr, L"#32770", &wc)) return false;
  wc.cbSize = sizeof(wc);
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kName;
  return ::RegisterClassExW(&wc) != 0;
}

class ProbeDialog : public framework::CDialog {
 public:
  ProbeDialog() : CDialog(IDD_MAIN) {}
  std::vector<UINT> commands;
  int inits = 0;
  bool saw_return_key = false;

  bool PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
      // Consumed here, so the dialog manager never turns it into IDOK.
      saw_return_key = true;
      ::SendMessageW(hwnd_, WM_COMMAND, 20013, 0);
      return true;
    }
    return CDialog::PreTranslateMessage(msg);
  }

 protected:
  BOOL OnInitDialog() override {
    ++inits;
    ::PostMessageW(hwnd_, WM_KEYDOWN, VK_RETURN, 0);
    ::PostMessageW(hwnd_, WM_APP + 1, 0, 0);
    return TRUE;
  }
  void OnOK() override { commands.push_back(IDOK); }
  LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) override {
    if (msg == WM_COMMAND && LOWORD(wparam) == 20013) {
      commands.push_back(20013);
      return 0;
    }
    if (msg == WM_APP + 1) {
      EndDialog(42);
      return 0;
    }
    if (msg == WM_NCHITTEST) return HTCAPTION;  // answered through DWLP_MSGRESULT
    return CDialog::WindowProc(msg, wparam, lparam);
  }
};

TEST(DialogTest, ModalLoopRunsPreTranslateFirstAndReturnsTheEndCode) {
  ASSERT_TRUE(RegisterMainClass());
  ProbeDialog dlg;
  EXPECT_EQ(42, dlg.DoModal());
  EXPECT_EQ(1, dlg.inits);
  EXPECT_TRUE(dlg.saw_return_key);
  ASSERT_EQ(1u, dlg.commands.size());
  EXPECT_EQ(20013u, dlg.commands[0]);
  EXPECT_EQ(nullptr, dlg.GetSafeHwnd());
}

class HitTestDialog : public framework::CDialog {
 public:
  HitTestDialog() : CDialog(IDD_MAIN) {}
  LRESULT hit = 0;
  wchar_t class_name[64] = {};

 protected:
  BOOL OnInitDialog() override {
    ::GetClassNameW(hwnd_, class_name, 64);
    hit = ::SendMessageW(hwnd_, WM_NCHITTEST, 0, MAKELPARAM(5, 5));
    EndDialog(7);
    return TRUE;
  }
  LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) override {
    if (msg == WM_NCHITTEST) return HTCAPTION;
    return CDialog::WindowProc(msg, wparam, lparam);
  }
};

TEST(DialogTest, AnswersReachTheSenderAndTheClassIsOurs) {
  ASSERT_TRUE(RegisterMainClass());
  HitTestDialog dlg;
  EXPECT_EQ(7, dlg.DoModal());
  EXPECT_EQ(HTCAPTION, dlg.hit);
  EXPECT_STREQ(L"LumoraMainFrameClass-b1f78b3cc4bd764c", dlg.class_name);
}

}  // namespace
