// driver.exe: the e2e driver for shell scripts (run under Wine).
//   driver.exe wait-window <pid|exe> <timeout-ms> [class]   prints "<hwnd> <rect> <caption>"
//   driver.exe screenshot <out.png|out.bmp> [pid|exe|--screen]   the painted main window,
//                                                               else the whole screen
//   driver.exe caption <pid|exe>
//   driver.exe command <pid|exe> <id>                     posts WM_COMMAND
//   driver.exe key <pid|exe> <vk>                         real key press (SendInput)
//   driver.exe close <pid|exe> <timeout-ms>               WM_CLOSE, waits for the process to end
// Exit codes: 0 done, 1 not found or timed out, 2 bad usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "e2e/driver/e2e_driver.h"

namespace {

int Usage() {
  std::fwprintf(stderr,
                L"usage: driver.exe wait-window <pid|exe> <timeout-ms> [class]\n"
                L"       driver.exe screenshot <out.png|out.bmp> [pid|exe|--screen]\n"
                L"       driver.exe caption <pid|exe>\n"
                L"       driver.exe command <pid|exe> <id>\n"
                L"       driver.exe key <pid|exe> <vk>\n"
                L"       driver.exe close <pid|exe> <timeout-ms>\n");
  return 2;
}

// The visible main window of the process (by id, or by executable name; the process may not
// exist yet when the wait starts).
HWND WaitMainWindow(const std::wstring& who, DWORD timeout_ms, const wchar_t* cls) {
  HWND found = nullptr;
  e2e::WaitUntil(
      [&] {
        e2e::WindowFilter f;
        f.class_name = cls;
        if (!who.empty()) {
          f.pid = e2e::ResolveProcess(who);
          if (!f.pid) return false;
        }
        found = e2e::FindTopLevelWindow(f);
        return found != nullptr;
      },
      timeout_ms, 50);
  return found;
}

void PrintWindow(HWND wnd) {
  const RECT r = e2e::WindowRect(wnd);
  std::wprintf(L"%p %ls %ls\n", static_cast<void*>(wnd), e2e::RectText(r).c_str(),
               e2e::Caption(wnd).c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring verb = argv[1];
  if (verb == L"wait-window" && argc >= 4) {
    const wchar_t* cls = argc >= 5 ? argv[4] : e2e::kViewerClass;
    HWND wnd = WaitMainWindow(argv[2], static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)), cls);
    if (!wnd) return 1;
    PrintWindow(wnd);
    return 0;
  }
  if (verb == L"screenshot" && argc >= 3) {
    const std::wstring out = argv[2];
    const std::wstring who = argc >= 4 ? argv[3] : L"";
    e2e::Capture c;
    if (who != L"--screen") {
      HWND wnd = WaitMainWindow(who, 0, e2e::kViewerClass);
      if (wnd) c = e2e::CapturePainted(wnd, 3000);
    }
    if (c.Empty()) {
      const SIZE s = e2e::ScreenSize();
      c = e2e::CaptureScreenRect(RECT{0, 0, s.cx, s.cy});
    }
    if (!e2e::SaveCapture(c, out)) {
      std::fwprintf(stderr, L"driver: cannot write %ls\n", out.c_str());
      return 1;
    }
    std::wprintf(L"%dx%d %ls\n", c.width, c.height, out.c_str());
    return 0;
  }
  if (argc < 3) return Usage();
  HWND wnd = WaitMainWindow(argv[2], 0, e2e::kViewerClass);
  if (verb == L"caption") {
    if (!wnd) return 1;
    std::wprintf(L"%ls\n", e2e::Caption(wnd).c_str());
    return 0;
  }
  if (verb == L"command" && argc >= 4) {
    return wnd && e2e::PostCommand(wnd, static_cast<WORD>(std::wcstoul(argv[3], nullptr, 10))) ? 0
                                                                                               : 1;
  }
  if (verb == L"key" && argc >= 4) {
    return wnd && e2e::PressKey(wnd, static_cast<WORD>(std::wcstoul(argv[3], nullptr, 0))) ? 0 : 1;
  }
  if (verb == L"close" && argc >= 4) {
    if (!wnd) return 1;
    const DWORD pid = e2e::WindowProcessId(wnd);
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    ::PostMessageW(wnd, WM_CLOSE, 0, 0);
    const DWORD timeout = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
    const bool ended = process && ::WaitForSingleObject(process, timeout) == WAIT_OBJECT_0;
    if (process) ::CloseHandle(process);
    return ended ? 0 : 1;
  }
  return Usage();
}
