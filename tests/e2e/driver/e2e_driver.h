#pragma once

// Drives a real program from inside Wine: starts it with its own data folder, finds its windows,
// sends commands and real input, waits for conditions with deadlines and captures pixels.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

constexpr wchar_t kViewerClass[] = L"LumoraMainFrameClass-b1f78b3cc4bd764c";
constexpr wchar_t kViewerExe[] = L"LumoraViewer.exe";
constexpr DWORD kStartTimeoutMs = 20000;  // Wine may be slow to start a process on a busy host

// ---- paths -------------------------------------------------------------------------------

// "Z:/a/b" or "/a/b" or "a\b\" -> "Z:\a\b" (backslashes, no trailing one, Linux root as Z:).
std::wstring NormalizePath(const std::wstring& path);
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);
// Root for temporary folders: $LUMORA_TEST_TMP (a Linux path) or the Windows temp folder.
std::wstring TempRoot();
// Where screenshots and other artefacts go (build/e2e/); created on demand.
std::wstring ArtifactDir();
bool CopyTree(const std::wstring& from, const std::wstring& to);
bool DeleteTree(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Reads the file as text lines (UTF-8/ANSI bytes; CR LF or LF).
std::vector<std::string> ReadLines(const std::wstring& path);
std::wstring ReadIni(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                     const wchar_t* fallback = L"<absent>");
bool WriteIni(const std::wstring& file, const wchar_t* section, const wchar_t* key,
              const std::wstring& value);
// A 24-bit BMP of one colour (0xRRGGBB), for scenarios that need a picture of a given size.
bool WriteSolidBmp(const std::wstring& path, int width, int height, uint32_t rgb);

// A fresh folder under TempRoot(), deleted with everything in it when the object goes.
class TempDir {
 public:
  explicit TempDir(const std::wstring& label = L"e2e");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::wstring& path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return JoinPath(path_, name); }

 private:
  std::wstring path_;
};

// ---- waiting -----------------------------------------------------------------------------

// Polls `condition` until it holds or the deadline passes; true when it held. Keeps this
// thread's message queue serviced so windows of the caller never stall.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms, DWORD poll_ms = 15);

// ---- windows -----------------------------------------------------------------------------

struct WindowFilter {
  const wchar_t* class_name = kViewerClass;  // exact; null for any
  DWORD pid = 0;                             // 0 for any process
  bool visible_only = true;
};
std::vector<HWND> FindTopLevelWindows(const WindowFilter& filter);
HWND FindTopLevelWindow(const WindowFilter& filter);
// Message-only window (parent HWND_MESSAGE) by name; pid 0 for any process.
HWND FindMessageWindow(const wchar_t* name, DWORD pid = 0);
DWORD WindowProcessId(HWND wnd);
std::wstring WindowClass(HWND wnd);
std::wstring Caption(HWND wnd);
// Texts of the window and all its descendants, one after another (for message boxes).
std::wstring AllTexts(HWND wnd);
RECT WindowRect(HWND wnd);
RECT ClientRectOnScreen(HWND wnd);
bool IsMaximized(HWND wnd);
SIZE ScreenSize();
RECT WorkArea();
std::wstring RectText(const RECT& r);  // "left_top_right_bottom"
// Moves/sizes the window as a user program would (the frame's own size rules apply).
bool SetWindowRect(HWND wnd, const RECT& r);

// ---- input -------------------------------------------------------------------------------

bool PostCommand(HWND wnd, WORD id);
// Makes the window the foreground window with keyboard focus in its thread (attaches input to
// its thread for the call; there is no window manager under Xvfb).
bool BringToForeground(HWND wnd);
// Real key presses through SendInput to the foreground window; BringToForeground first.
bool PressKey(HWND wnd, WORD vk, bool ctrl = false, bool shift = false, bool alt = false);
bool TypeChar(HWND wnd, wchar_t ch);  // KEYEVENTF_UNICODE
bool MoveMouse(POINT screen);
bool Click(POINT screen, bool right = false, bool twice = false);
bool Wheel(POINT screen, int delta, bool ctrl = false, bool alt = false);
bool Drag(POINT from, POINT to, int steps = 8);
// Point in screen coordinates from client coordinates of the window.
POINT ClientToScreenPoint(HWND wnd, int x, int y);

// ---- pixels ------------------------------------------------------------------------------

struct Capture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, row 0 at the top
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  bool Empty() const { return pixels.empty(); }
};
// Screen DC BitBlt of a screen rectangle (what is on the display, overlaps included).
Capture CaptureScreenRect(const RECT& r);
Capture CaptureWindow(HWND wnd);
// The window once painted: two captures 100 ms apart agree and show more than one colour (a
// window that has just mapped is still uniform, its children may paint later); after the
// deadline, the last capture.
Capture CapturePainted(HWND wnd, DWORD timeout_ms = 5000);
// ".png" through WIC, anything else as a 24-bit BMP.
bool SaveCapture(const Capture& c, const std::wstring& path);
bool ColorNear(uint32_t rgb, int r, int g, int b, int tolerance = 8);

// ---- processes ---------------------------------------------------------------------------

struct LaunchOptions {
  std::wstring exe_name = kViewerExe;
  std::wstring bin_dir;              // empty: the build's runnable folder
  std::wstring args;                 // command-line text after the program path
  std::wstring data_dir;             // LUMORA_DATA_DIR for the child; empty: a fresh one
  bool copy_bin = false;             // run from a private copy of bin_dir
  std::vector<std::wstring> remove;  // paths relative to the copy, deleted before the start
  std::vector<std::pair<std::wstring, std::wstring>> env;  // extra variables
};

// One started program. The destructor always ends it (TerminateProcess) and waits for it.
class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool Start(const LaunchOptions& options);
  DWORD pid() const { return pid_; }
  HANDLE handle() const { return process_; }
  const std::wstring& exe_path() const { return exe_path_; }
  const std::wstring& data_dir() const { return data_dir_; }
  const std::wstring& bin_dir() const { return bin_dir_; }
  std::wstring DataFile(const std::wstring& name) const { return JoinPath(data_dir_, name); }

  bool Running() const;
  // True and the exit code once the process has ended within the time.
  bool WaitExit(DWORD timeout_ms, DWORD* exit_code = nullptr);
  // Like WaitExit, and tells whether a visible top-level window of the process (any class)
  // appeared meanwhile.
  bool WaitExitWatchingWindows(DWORD timeout_ms, DWORD* exit_code, bool* saw_window);
  // The process's visible window of `class_name`; null after the time or when it ended.
  HWND WaitWindow(DWORD timeout_ms = kStartTimeoutMs, const wchar_t* class_name = kViewerClass);
  void Terminate();

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  std::wstring exe_path_, data_dir_, bin_dir_;
  std::wstring own_data_dir_, own_bin_copy_;  // deleted at the end
};

// Processes whose executable base name equals `exe_name` (case-insensitive).
std::vector<DWORD> FindProcessesByName(const std::wstring& exe_name);
// Ends the running processes whose parent is `pid` (one level).
void EndChildrenOf(DWORD pid);
// "1234" -> 1234; otherwise the first running process of that executable name, or 0.
DWORD ResolveProcess(const std::wstring& pid_or_exe);

}  // namespace e2e
