#include "e2e/driver/e2e_driver.h"

#include <objbase.h>
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <map>

#ifndef LUMORA_E2E_BIN_DIR
#define LUMORA_E2E_BIN_DIR L""
#endif
#ifndef LUMORA_E2E_ARTIFACT_DIR
#define LUMORA_E2E_ARTIFACT_DIR L""
#endif

namespace e2e {
namespace {

using Microsoft::WRL::ComPtr;

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

std::wstring BaseName(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring Env(const wchar_t* name) {
  wchar_t buf[1024];
  DWORD n = ::GetEnvironmentVariableW(name, buf, 1024);
  return n > 0 && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

void PumpMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

bool SendInputs(std::vector<INPUT>& inputs) {
  if (inputs.empty()) return true;
  UINT sent = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  return sent == inputs.size();
}

INPUT KeyInput(WORD vk, bool up) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  switch (vk) {  // keys of the extended block
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_DELETE:
    case VK_INSERT:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
      in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
      break;
    default:
      break;
  }
  return in;
}

INPUT MouseInput(DWORD flags, LONG x = 0, LONG y = 0, DWORD data = 0) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  in.mi.dx = x;
  in.mi.dy = y;
  in.mi.mouseData = data;
  return in;
}

// Absolute mouse coordinates are 0..65535 over the primary screen.
INPUT MoveInput(POINT p) {
  SIZE s = ScreenSize();
  LONG x = static_cast<LONG>((static_cast<int64_t>(p.x) * 65536 + s.cx / 2) / s.cx);
  LONG y = static_cast<LONG>((static_cast<int64_t>(p.y) * 65536 + s.cy / 2) / s.cy);
  return MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
}

struct EnumState {
  WindowFilter filter;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND wnd, LPARAM param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  if (state->filter.visible_only && !::IsWindowVisible(wnd)) return TRUE;
  if (state->filter.pid && WindowProcessId(wnd) != state->filter.pid) return TRUE;
  if (state->filter.class_name && WindowClass(wnd) != state->filter.class_name) return TRUE;
  state->found.push_back(wnd);
  return TRUE;
}

BOOL CALLBACK AppendChildText(HWND wnd, LPARAM param) {
  auto* text = reinterpret_cast<std::wstring*>(param);
  *text += Caption(wnd);
  *text += L"\n";
  return TRUE;
}

std::atomic<unsigned> g_temp_counter{0};

// A new, empty folder under TempRoot() named after the label; empty on failure.
std::wstring FreshFolder(const std::wstring& label) {
  const std::wstring root = TempRoot();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::wstring path = JoinPath(root, label + L"-" + std::to_wstring(::GetCurrentProcessId()) +
                                           L"-" + std::to_wstring(g_temp_counter++));
    if (::CreateDirectoryW(path.c_str(), nullptr)) return path;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return std::wstring();
}

}  // namespace

// ---- paths -------------------------------------------------------------------------------

std::wstring NormalizePath(const std::wstring& path) {
  std::wstring p = path;
  for (wchar_t& c : p) {
    if (c == L'/') c = L'\\';
  }
  if (!p.empty() && p[0] == L'\\' && (p.size() < 2 || p[1] != L'\\')) p = L"Z:" + p;
  while (p.size() > 3 && p.back() == L'\\') p.pop_back();
  return p;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  std::wstring f = NormalizePath(folder);
  if (!f.empty() && f.back() != L'\\') f += L'\\';
  return f + name;
}

bool FileExists(const std::wstring& path) {
  DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
  DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring TempRoot() {
  std::wstring root = Env(L"LUMORA_TEST_TMP");
  if (root.empty()) {
    wchar_t buf[MAX_PATH];
    DWORD n = ::GetTempPathW(MAX_PATH, buf);
    root.assign(buf, n);
  }
  root = NormalizePath(root);
  ::CreateDirectoryW(root.c_str(), nullptr);
  return root;
}

std::wstring ArtifactDir() {
  std::wstring dir = NormalizePath(LUMORA_E2E_ARTIFACT_DIR);
  if (dir.empty()) dir = JoinPath(TempRoot(), L"e2e-artifacts");
  ::CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

bool CopyTree(const std::wstring& from, const std::wstring& to) {
  if (!::CreateDirectoryW(to.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    return false;
  }
  WIN32_FIND_DATAW fd;
  HANDLE find = ::FindFirstFileW(JoinPath(from, L"*").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return true;
  bool ok = true;
  do {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring src = JoinPath(from, name), dst = JoinPath(to, name);
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok = CopyTree(src, dst) && ok;
    } else {
      ok = ::CopyFileW(src.c_str(), dst.c_str(), FALSE) && ok;
    }
  } while (::FindNextFileW(find, &fd));
  ::FindClose(find);
  return ok;
}

bool DeleteTree(const std::wstring& path) {
  WIN32_FIND_DATAW fd;
  HANDLE find = ::FindFirstFileW(JoinPath(path, L"*").c_str(), &fd);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = JoinPath(path, name);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(child);
      } else {
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(child.c_str());
      }
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
  }
  return ::RemoveDirectoryW(path.c_str()) || !DirectoryExists(path);
}

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return std::string();
  std::string out;
  char buf[8192];
  DWORD got = 0;
  while (::ReadFile(f, buf, sizeof(buf), &got, nullptr) && got > 0) {
    out.append(buf, got);
    if (out.size() > (64u << 20)) break;  // artefacts of ours are small
  }
  ::CloseHandle(f);
  return out;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = bytes.empty() ||
            ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(f);
  return ok && written == bytes.size();
}

std::vector<std::string> ReadLines(const std::wstring& path) {
  std::vector<std::string> lines;
  const std::string text = ReadFileBytes(path);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::wstring ReadIni(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                     const wchar_t* fallback) {
  wchar_t buf[4096];
  DWORD n = ::GetPrivateProfileStringW(section, key, fallback, buf, 4096, file.c_str());
  return std::wstring(buf, n);
}

bool WriteIni(const std::wstring& file, const wchar_t* section, const wchar_t* key,
              const std::wstring& value) {
  return ::WritePrivateProfileStringW(section, key, value.c_str(), file.c_str()) != FALSE;
}

bool WriteSolidBmp(const std::wstring& path, int width, int height, uint32_t rgb) {
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;
  const uint32_t row = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t image = row * static_cast<uint32_t>(height);
  std::string b = "BM";
  auto put16 = [&b](uint32_t v) {
    for (int i = 0; i < 2; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  auto put32 = [&b](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  put32(54 + image);
  put32(0);
  put32(54);
  put32(40);
  put32(static_cast<uint32_t>(width));
  put32(static_cast<uint32_t>(height));
  put16(1);
  put16(24);
  put32(0);
  put32(image);
  put32(2835);
  put32(2835);
  put32(0);
  put32(0);
  std::string line(row, '\0');
  for (int x = 0; x < width; ++x) {
    line[x * 3] = static_cast<char>(rgb & 0xFF);
    line[x * 3 + 1] = static_cast<char>((rgb >> 8) & 0xFF);
    line[x * 3 + 2] = static_cast<char>((rgb >> 16) & 0xFF);
  }
  b.reserve(b.size() + image);
  for (int y = 0; y < height; ++y) b += line;
  return WriteFileBytes(path, b);
}

TempDir::TempDir(const std::wstring& label) : path_(FreshFolder(label)) {}

TempDir::~TempDir() {
  if (!path_.empty()) DeleteTree(path_);
}

// ---- waiting -----------------------------------------------------------------------------

bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms, DWORD poll_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  for (;;) {
    if (condition()) return true;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return condition();
    const DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(poll_ms, deadline - now));
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    PumpMessages();
  }
}

// ---- windows -----------------------------------------------------------------------------

std::vector<HWND> FindTopLevelWindows(const WindowFilter& filter) {
  EnumState state;
  state.filter = filter;
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

HWND FindTopLevelWindow(const WindowFilter& filter) {
  std::vector<HWND> all = FindTopLevelWindows(filter);
  return all.empty() ? nullptr : all.front();
}

HWND FindMessageWindow(const wchar_t* name, DWORD pid) {
  HWND after = nullptr;
  while ((after = ::FindWindowExW(HWND_MESSAGE, after, nullptr, name)) != nullptr) {
    if (!pid || WindowProcessId(after) == pid) return after;
  }
  return nullptr;
}

DWORD WindowProcessId(HWND wnd) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(wnd, &pid);
  return pid;
}

std::wstring WindowClass(HWND wnd) {
  wchar_t buf[256];
  int n = ::GetClassNameW(wnd, buf, 256);
  return n > 0 ? std::wstring(buf, n) : std::wstring();
}

std::wstring Caption(HWND wnd) {
  wchar_t buf[1024];
  DWORD_PTR n = 0;
  // WM_GETTEXT with a timeout, so a hung target cannot hang the driver.
  if (!::SendMessageTimeoutW(wnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG,
                             5000, &n)) {
    return std::wstring();
  }
  return std::wstring(buf, std::min<DWORD_PTR>(n, 1023));
}

std::wstring AllTexts(HWND wnd) {
  std::wstring text = Caption(wnd) + L"\n";
  ::EnumChildWindows(wnd, AppendChildText, reinterpret_cast<LPARAM>(&text));
  return text;
}

RECT WindowRect(HWND wnd) {
  RECT r = {};
  ::GetWindowRect(wnd, &r);
  return r;
}

RECT ClientRectOnScreen(HWND wnd) {
  RECT r = {};
  ::GetClientRect(wnd, &r);
  ::MapWindowPoints(wnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool IsMaximized(HWND wnd) { return ::IsZoomed(wnd) != FALSE; }

SIZE ScreenSize() { return SIZE{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}; }

RECT WorkArea() {
  RECT r = {};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

std::wstring RectText(const RECT& r) {
  return std::to_wstring(r.left) + L"_" + std::to_wstring(r.top) + L"_" + std::to_wstring(r.right) +
         L"_" + std::to_wstring(r.bottom);
}

bool SetWindowRect(HWND wnd, const RECT& r) {
  return ::SetWindowPos(wnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                        SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

// ---- input -------------------------------------------------------------------------------

bool PostCommand(HWND wnd, WORD id) {
  return ::PostMessageW(wnd, WM_COMMAND, MAKEWPARAM(id, 0), 0) != FALSE;
}

bool BringToForeground(HWND wnd) {
  if (!::IsWindow(wnd)) return false;
  const DWORD target = ::GetWindowThreadProcessId(wnd, nullptr);
  const DWORD self = ::GetCurrentThreadId();
  const bool attached = target != self && ::AttachThreadInput(self, target, TRUE);
  if (::IsIconic(wnd)) ::ShowWindow(wnd, SW_RESTORE);
  ::BringWindowToTop(wnd);
  ::SetForegroundWindow(wnd);
  ::SetActiveWindow(wnd);
  // A dialog keeps focus on a child; only take it when the focus is outside the window.
  HWND focus = ::GetFocus();
  if (!focus || (focus != wnd && !::IsChild(wnd, focus))) ::SetFocus(wnd);
  if (attached) ::AttachThreadInput(self, target, FALSE);
  return WaitUntil([wnd] { return ::GetForegroundWindow() == wnd; }, 3000);
}

bool PressKey(HWND wnd, WORD vk, bool ctrl, bool shift, bool alt) {
  if (wnd && !BringToForeground(wnd)) return false;
  std::vector<INPUT> in;
  if (ctrl) in.push_back(KeyInput(VK_CONTROL, false));
  if (shift) in.push_back(KeyInput(VK_SHIFT, false));
  if (alt) in.push_back(KeyInput(VK_MENU, false));
  in.push_back(KeyInput(vk, false));
  in.push_back(KeyInput(vk, true));
  if (alt) in.push_back(KeyInput(VK_MENU, true));
  if (shift) in.push_back(KeyInput(VK_SHIFT, true));
  if (ctrl) in.push_back(KeyInput(VK_CONTROL, true));
  return SendInputs(in);
}

bool TypeChar(HWND wnd, wchar_t ch) {
  if (wnd && !BringToForeground(wnd)) return false;
  std::vector<INPUT> in(2);
  for (int i = 0; i < 2; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wScan = ch;
    in[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
  }
  return SendInputs(in);
}

bool MoveMouse(POINT screen) {
  std::vector<INPUT> in = {MoveInput(screen)};
  return SendInputs(in) && WaitUntil(
                               [screen] {
                                 POINT p;
                                 return ::GetCursorPos(&p) && p.x == screen.x && p.y == screen.y;
                               },
                               2000);
}

bool Click(POINT screen, bool right, bool twice) {
  if (!MoveMouse(screen)) return false;
  const DWORD down = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  const DWORD up = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  std::vector<INPUT> in = {MouseInput(down), MouseInput(up)};
  if (twice) {
    in.push_back(MouseInput(down));
    in.push_back(MouseInput(up));
  }
  return SendInputs(in);
}

bool Wheel(POINT screen, int delta, bool ctrl, bool alt) {
  if (!MoveMouse(screen)) return false;
  std::vector<INPUT> in;
  if (ctrl) in.push_back(KeyInput(VK_CONTROL, false));
  if (alt) in.push_back(KeyInput(VK_MENU, false));
  in.push_back(MouseInput(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(delta)));
  if (alt) in.push_back(KeyInput(VK_MENU, true));
  if (ctrl) in.push_back(KeyInput(VK_CONTROL, true));
  return SendInputs(in);
}

bool Drag(POINT from, POINT to, int steps) {
  if (!MoveMouse(from)) return false;
  std::vector<INPUT> in = {MouseInput(MOUSEEVENTF_LEFTDOWN)};
  if (!SendInputs(in)) return false;
  for (int i = 1; i <= steps; ++i) {
    POINT p = {from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps};
    if (!MoveMouse(p)) break;
  }
  in = {MouseInput(MOUSEEVENTF_LEFTUP)};
  return SendInputs(in);
}

POINT ClientToScreenPoint(HWND wnd, int x, int y) {
  POINT p = {x, y};
  ::ClientToScreen(wnd, &p);
  return p;
}

// ---- pixels ------------------------------------------------------------------------------

Capture CaptureScreenRect(const RECT& r) {
  Capture c;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return c;
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib && bits) {
    HGDIOBJ old = ::SelectObject(mem, dib);
    if (::BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT)) {
      ::GdiFlush();
      c.width = w;
      c.height = h;
      const uint32_t* p = static_cast<const uint32_t*>(bits);
      c.pixels.assign(p, p + static_cast<size_t>(w) * h);
      for (uint32_t& px : c.pixels) px &= 0x00FFFFFF;
    }
    ::SelectObject(mem, old);
  }
  if (dib) ::DeleteObject(dib);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return c;
}

Capture CaptureWindow(HWND wnd) { return CaptureScreenRect(WindowRect(wnd)); }

Capture CapturePainted(HWND wnd, DWORD timeout_ms) {
  Capture last, c;
  WaitUntil(
      [&] {
        c = CaptureWindow(wnd);
        const bool uniform =
            c.Empty() || std::all_of(c.pixels.begin(), c.pixels.end(),
                                     [&](uint32_t p) { return p == c.pixels.front(); });
        const bool stable = !c.Empty() && c.width == last.width && c.height == last.height &&
                            c.pixels == last.pixels;
        last = c;
        return stable && !uniform;
      },
      timeout_ms, 100);
  return c;
}

bool SaveCapture(const Capture& c, const std::wstring& path) {
  if (c.Empty()) return false;
  const std::wstring lower = Lower(path);
  if (lower.size() >= 4 && lower.compare(lower.size() - 4, 4, L".png") == 0) {
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    bool ok = false;
    {
      ComPtr<IWICImagingFactory> factory;
      ComPtr<IWICStream> stream;
      ComPtr<IWICBitmapEncoder> encoder;
      ComPtr<IWICBitmapFrameEncode> frame;
      WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
      HRESULT hr = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(&factory));
      if (SUCCEEDED(hr)) hr = factory->CreateStream(&stream);
      if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
      if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
      if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
      if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, nullptr);
      if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
      if (SUCCEEDED(hr)) hr = frame->SetSize(c.width, c.height);
      if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
      std::vector<BYTE> rows;
      if (SUCCEEDED(hr)) {
        // 32bppBGR is the capture's own layout; convert to 24bpp if the encoder wants it.
        const bool rgb24 = format == GUID_WICPixelFormat24bppBGR;
        const UINT stride = rgb24 ? ((c.width * 3 + 3) & ~3u) : c.width * 4;
        rows.assign(static_cast<size_t>(stride) * c.height, 0);
        for (int y = 0; y < c.height; ++y) {
          for (int x = 0; x < c.width; ++x) {
            const uint32_t px = c.At(x, y);
            BYTE* d = &rows[static_cast<size_t>(y) * stride + x * (rgb24 ? 3 : 4)];
            d[0] = static_cast<BYTE>(px);
            d[1] = static_cast<BYTE>(px >> 8);
            d[2] = static_cast<BYTE>(px >> 16);
            if (!rgb24) d[3] = 0xFF;
          }
        }
        hr = frame->WritePixels(c.height, stride, static_cast<UINT>(rows.size()), rows.data());
      }
      if (SUCCEEDED(hr)) hr = frame->Commit();
      if (SUCCEEDED(hr)) hr = encoder->Commit();
      ok = SUCCEEDED(hr);
    }
    if (SUCCEEDED(init)) ::CoUninitialize();
    return ok;
  }
  const DWORD stride = (static_cast<DWORD>(c.width) * 3 + 3) & ~3u;
  BITMAPFILEHEADER fh = {};
  BITMAPINFOHEADER ih = {};
  ih.biSize = sizeof(ih);
  ih.biWidth = c.width;
  ih.biHeight = c.height;  // bottom-up
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  ih.biSizeImage = stride * c.height;
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(ih);
  fh.bfSize = fh.bfOffBits + ih.biSizeImage;
  std::string bytes(reinterpret_cast<const char*>(&fh), sizeof(fh));
  bytes.append(reinterpret_cast<const char*>(&ih), sizeof(ih));
  std::string row(stride, '\0');
  for (int y = c.height - 1; y >= 0; --y) {
    for (int x = 0; x < c.width; ++x) {
      const uint32_t px = c.At(x, y);
      row[x * 3] = static_cast<char>(px & 0xFF);
      row[x * 3 + 1] = static_cast<char>((px >> 8) & 0xFF);
      row[x * 3 + 2] = static_cast<char>((px >> 16) & 0xFF);
    }
    bytes += row;
  }
  return WriteFileBytes(path, bytes);
}

bool ColorNear(uint32_t rgb, int r, int g, int b, int tolerance) {
  const int pr = (rgb >> 16) & 0xFF, pg = (rgb >> 8) & 0xFF, pb = rgb & 0xFF;
  return std::abs(pr - r) <= tolerance && std::abs(pg - g) <= tolerance &&
         std::abs(pb - b) <= tolerance;
}

// ---- processes ---------------------------------------------------------------------------

Process::~Process() { Terminate(); }

bool Process::Start(const LaunchOptions& options) {
  Terminate();
  bin_dir_ =
      NormalizePath(options.bin_dir.empty() ? std::wstring(LUMORA_E2E_BIN_DIR) : options.bin_dir);
  if (options.copy_bin) {
    own_bin_copy_ = FreshFolder(L"bin");
    if (own_bin_copy_.empty() || !CopyTree(bin_dir_, own_bin_copy_)) return false;
    for (const std::wstring& rel : options.remove) {
      const std::wstring p = JoinPath(own_bin_copy_, rel);
      if (DirectoryExists(p)) {
        DeleteTree(p);
      } else {
        ::DeleteFileW(p.c_str());
      }
    }
    bin_dir_ = own_bin_copy_;
  }
  exe_path_ = JoinPath(bin_dir_, options.exe_name);
  data_dir_ = NormalizePath(options.data_dir);
  if (data_dir_.empty()) {
    own_data_dir_ = FreshFolder(L"data");
    data_dir_ = own_data_dir_;
  }

  // The child's environment: ours, with the data folder and the extra variables set.
  std::map<std::wstring, std::wstring> vars;  // keyed by the upper-cased name
  std::map<std::wstring, std::wstring> names;
  if (wchar_t* block = ::GetEnvironmentStringsW()) {
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
      std::wstring entry = p;
      size_t eq = entry.find(L'=', 1);
      if (eq == std::wstring::npos) continue;
      std::wstring name = entry.substr(0, eq), key = name;
      for (wchar_t& c : key) c = static_cast<wchar_t>(towupper(c));
      vars[key] = entry.substr(eq + 1);
      names[key] = name;
    }
    ::FreeEnvironmentStringsW(block);
  }
  auto set = [&](const std::wstring& name, const std::wstring& value) {
    std::wstring key = name;
    for (wchar_t& c : key) c = static_cast<wchar_t>(towupper(c));
    vars[key] = value;
    names[key] = name;
  };
  set(L"LUMORA_DATA_DIR", data_dir_ + L"\\");
  for (const auto& kv : options.env) set(kv.first, kv.second);
  std::wstring env;
  for (const auto& kv : vars) env += names[kv.first] + L"=" + kv.second + L'\0';
  env += L'\0';

  std::wstring cmd = L"\"" + exe_path_ + L"\"";
  if (!options.args.empty()) cmd += L" " + options.args;
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!::CreateProcessW(exe_path_.c_str(), &cmd[0], nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, &env[0], bin_dir_.c_str(), &si, &pi)) {
    return false;
  }
  ::CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  pid_ = pi.dwProcessId;
  return true;
}

bool Process::Running() const {
  return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Process::WaitExit(DWORD timeout_ms, DWORD* exit_code) {
  if (!process_) return false;
  if (::WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  ::GetExitCodeProcess(process_, &code);
  if (exit_code) *exit_code = code;
  return true;
}

bool Process::WaitExitWatchingWindows(DWORD timeout_ms, DWORD* exit_code, bool* saw_window) {
  if (!process_) return false;
  bool saw = false;
  WindowFilter any;
  any.class_name = nullptr;
  any.pid = pid_;
  const bool ended = WaitUntil(
      [&] {
        if (!FindTopLevelWindows(any).empty()) saw = true;
        return !Running();
      },
      timeout_ms, 5);
  if (saw_window) *saw_window = saw;
  if (!ended) return false;
  return WaitExit(0, exit_code);
}

HWND Process::WaitWindow(DWORD timeout_ms, const wchar_t* class_name) {
  HWND found = nullptr;
  WindowFilter filter;
  filter.class_name = class_name;
  filter.pid = pid_;
  WaitUntil(
      [&] {
        found = FindTopLevelWindow(filter);
        return found != nullptr || !Running();
      },
      timeout_ms);
  return found;
}

void Process::Terminate() {
  if (process_) {
    if (Running()) ::TerminateProcess(process_, 0xE2E);
    ::WaitForSingleObject(process_, 10000);
    ::CloseHandle(process_);
    process_ = nullptr;
    // A viewer starts the tray program a second after its window opens; what a scenario's
    // program started must not outlive the scenario.
    EndChildrenOf(pid_);
  }
  // The process may still hold its files for a moment after it ends; retry briefly.
  for (std::wstring* dir : {&own_bin_copy_, &own_data_dir_}) {
    if (dir->empty()) continue;
    const std::wstring path = *dir;
    WaitUntil([&path] { return DeleteTree(path); }, 3000, 50);
    dir->clear();
  }
  pid_ = 0;
}

void EndChildrenOf(DWORD pid) {
  if (pid == 0) return;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  std::vector<DWORD> children;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL ok = ::Process32FirstW(snapshot, &entry); ok; ok = ::Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == pid && entry.th32ProcessID != pid) {
      children.push_back(entry.th32ProcessID);
    }
  }
  ::CloseHandle(snapshot);
  for (DWORD child : children) {
    HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, child);
    if (!h) continue;
    ::TerminateProcess(h, 0xE2E);
    ::WaitForSingleObject(h, 5000);
    ::CloseHandle(h);
  }
}

std::vector<DWORD> FindProcessesByName(const std::wstring& exe_name) {
  std::vector<DWORD> ids(4096), out;
  DWORD bytes = 0;
  if (!::K32EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) {
    return out;
  }
  ids.resize(bytes / sizeof(DWORD));
  const std::wstring want = Lower(exe_name);
  for (DWORD id : ids) {
    HANDLE h = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!h) continue;
    wchar_t path[MAX_PATH * 2];
    DWORD size = MAX_PATH * 2;
    if (::QueryFullProcessImageNameW(h, 0, path, &size) && Lower(BaseName(path)) == want) {
      out.push_back(id);
    }
    ::CloseHandle(h);
  }
  return out;
}

DWORD ResolveProcess(const std::wstring& pid_or_exe) {
  if (!pid_or_exe.empty() &&
      std::all_of(pid_or_exe.begin(), pid_or_exe.end(), [](wchar_t c) { return iswdigit(c); })) {
    return static_cast<DWORD>(std::wcstoul(pid_or_exe.c_str(), nullptr, 10));
  }
  std::vector<DWORD> ids = FindProcessesByName(pid_or_exe);
  return ids.empty() ? 0 : ids.front();
}

}  // namespace e2e
