// A tiny window program that checks the e2e driver itself: it shows what it received in its
// caption, so the harness tests can tell that keys, clicks, the wheel and commands arrive.
//   e2e_standin.exe                 a 640 x 480 window at 100,100 filled with (10,200,30)
//   e2e_standin.exe --exit=N        ends at once with exit code N, no window
// Caption after input: "key:<vk>", "char:<code>", "wheel:<delta>", "click:<x>,<y>",
// "cmd:<id>". Command 1 puts "data:" + LUMORA_DATA_DIR into the caption, command 2 "exe:" + its
// own path. Escape ends it with exit code 7.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kClass[] = L"LumoraE2EStandInClass";

void SetCaption(HWND wnd, const std::wstring& text) { ::SetWindowTextW(wnd, text.c_str()); }

LRESULT CALLBACK StandInProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_KEYDOWN:
      if (wp == VK_ESCAPE) {
        ::PostQuitMessage(7);
        return 0;
      }
      SetCaption(wnd, L"key:" + std::to_wstring(wp));
      return 0;
    case WM_CHAR:
      SetCaption(wnd, L"char:" + std::to_wstring(wp));
      return 0;
    case WM_MOUSEWHEEL:
      SetCaption(wnd, L"wheel:" + std::to_wstring(static_cast<short>(HIWORD(wp))));
      return 0;
    case WM_LBUTTONDOWN:
      SetCaption(wnd, L"click:" + std::to_wstring(static_cast<short>(LOWORD(lp))) + L"," +
                          std::to_wstring(static_cast<short>(HIWORD(lp))));
      return 0;
    case WM_COMMAND: {
      const WORD id = LOWORD(wp);
      if (id == 1) {
        wchar_t buf[1024] = {};
        ::GetEnvironmentVariableW(L"LUMORA_DATA_DIR", buf, 1024);
        SetCaption(wnd, std::wstring(L"data:") + buf);
      } else if (id == 2) {
        wchar_t buf[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, buf, MAX_PATH);
        SetCaption(wnd, std::wstring(L"exe:") + buf);
      } else {
        SetCaption(wnd, L"cmd:" + std::to_wstring(id));
      }
      return 0;
    }
    case WM_ERASEBKGND: {
      RECT r;
      ::GetClientRect(wnd, &r);
      HBRUSH brush = ::CreateSolidBrush(RGB(10, 200, 30));
      ::FillRect(reinterpret_cast<HDC>(wp), &r, brush);
      ::DeleteObject(brush);
      return 1;
    }
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(wnd, msg, wp, lp);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR cmd, int) {
  const wchar_t* exit_arg = cmd ? std::wcsstr(cmd, L"--exit=") : nullptr;
  if (exit_arg) return static_cast<int>(std::wcstol(exit_arg + 7, nullptr, 10));

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = StandInProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kClass;
  if (!::RegisterClassExW(&wc)) return 2;
  HWND wnd = ::CreateWindowExW(0, kClass, L"standin", WS_OVERLAPPEDWINDOW, 100, 100, 640, 480,
                               nullptr, nullptr, instance, nullptr);
  if (!wnd) return 3;
  ::ShowWindow(wnd, SW_SHOW);
  ::UpdateWindow(wnd);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}
