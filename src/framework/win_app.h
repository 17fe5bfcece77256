#pragma once

#include <windows.h>

#include <string>

namespace framework {

class CWnd;

// The application object: one per process. RunApplication calls InitInstance, runs a message
// loop only when InitInstance returns TRUE, then ExitInstance, whose result is the exit code.
class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  static CWinApp* Current();

  virtual BOOL InitInstance() { return FALSE; }
  virtual int ExitInstance() { return 0; }

  // The window hand-over requests and the closing steps are routed to.
  CWnd* GetMainWnd() const { return main_wnd_; }
  void SetMainWnd(CWnd* wnd) { main_wnd_ = wnd; }
  HWND GetMainHwnd() const;

  const std::wstring& GetAppName() const { return app_name_; }
  void SetAppName(const std::wstring& name) { app_name_ = name; }

  HINSTANCE GetInstance() const { return instance_; }
  // The command-line text after the program path.
  const std::wstring& GetCommandTail() const { return command_tail_; }

 private:
  friend int RunApplication(CWinApp& app);
  int Run();

  HINSTANCE instance_;
  CWnd* main_wnd_ = nullptr;
  std::wstring app_name_;
  std::wstring command_tail_;
};

int RunApplication(CWinApp& app);

// The text of a full command line after the program path (quoted or not) and the spaces after
// it; what a program receives as its "command line" proper.
std::wstring CommandTail(const wchar_t* command_line);

}  // namespace framework
