#include "framework/win_app.h"

#include "framework/wnd.h"

namespace framework {
namespace {
CWinApp* g_current_app = nullptr;
}  // namespace

CWinApp::CWinApp() : instance_(::GetModuleHandleW(nullptr)) {
  if (!g_current_app) g_current_app = this;
  command_tail_ = CommandTail(::GetCommandLineW());
}

CWinApp::~CWinApp() {
  if (g_current_app == this) g_current_app = nullptr;
}

CWinApp* CWinApp::Current() { return g_current_app; }

HWND CWinApp::GetMainHwnd() const { return main_wnd_ ? main_wnd_->GetSafeHwnd() : nullptr; }

int CWinApp::Run() {
  MSG msg;
  BOOL got;
  while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) {
    if (PreTranslateTree(&msg, nullptr)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return got == 0 ? static_cast<int>(msg.wParam) : 0;
}

int RunApplication(CWinApp& app) {
  if (app.InitInstance()) app.Run();
  return app.ExitInstance();
}

std::wstring CommandTail(const wchar_t* command_line) {
  if (!command_line) return std::wstring();
  const wchar_t* p = command_line;
  while (*p == L' ' || *p == L'\t') ++p;
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return std::wstring(p);
}

}  // namespace framework
