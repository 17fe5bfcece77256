#include "app/command_line.h"

#include <shellapi.h>

#include "app/app_config.h"
#include "app/app_folders.h"
#include "basic_lib/ext_bind.h"
#include "basic_lib/path_util.h"
#include "basic_lib/scoped_handle.h"
#include "basic_lib/singleton.h"

namespace handover {

bool SendOpenRequest(HWND target, const std::wstring& text) {
  if (!target || !::IsWindow(target)) return false;
  COPYDATASTRUCT data = {};
  data.dwData = kOpenRequestTag;
  data.cbData = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  data.lpData = const_cast<wchar_t*>(text.c_str());
  DWORD_PTR answer = 0;
  // A hung receiver must not hang this start: it counts as a failed attempt.
  LRESULT ok = ::SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                     SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer);
  return ok != 0 && answer != 0;
}

HWND FindReceiver(const wchar_t* name) {
  return ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, name);
}

}  // namespace handover

namespace {
bool IsSwitchPrefix(wchar_t c) { return c == L'-' || c == L'/'; }

struct MainWindowSearch {
  const std::wstring* window_class;
  DWORD own_pid;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectMainWindows(HWND wnd, LPARAM param) {
  auto* search = reinterpret_cast<MainWindowSearch*>(param);
  wchar_t class_name[128] = {};
  int n = ::GetClassNameW(wnd, class_name, 128);
  if (n <= 0 || std::wstring(class_name, n) != *search->window_class) return TRUE;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(wnd, &pid);
  if (pid != search->own_pid) search->windows.push_back(wnd);
  return TRUE;
}

// The caption, or an empty text when it is longer than any caption we look for.
std::wstring ShortCaption(HWND wnd) {
  wchar_t caption[64] = {};
  int n = ::GetWindowTextW(wnd, caption, 64);
  return n > 0 && n < 63 ? std::wstring(caption, n) : std::wstring();
}
}  // namespace

CCommandLine& CCommandLine::Instance() { return basic_lib::CSingletonT<CCommandLine>::Instance(); }
void CCommandLine::DestroyInstance() { basic_lib::CSingletonT<CCommandLine>::Destroy(); }

CCommandLine::CCommandLine() : own_process_id_(::GetCurrentProcessId()) {}

bool CCommandLine::Parse(const std::wstring& text) {
  switches_.clear();
  arguments_.clear();
  raw_text_ = text;
  const size_t n = text.size();
  wchar_t previous = 0;
  size_t i = 0;
  while (i < n) {
    if (text[i] == L' ') {
      previous = text[i++];
      continue;
    }
    const size_t start = i;
    size_t equals = std::wstring::npos;
    bool quoted = false;
    for (; i < n; ++i) {
      wchar_t c = text[i];
      if (c == L'"' && previous != L'\\') quoted = !quoted;
      if (c == L'=' && equals == std::wstring::npos) equals = i;
      if (c == L' ' && !quoted) break;
      previous = c;
    }
    std::wstring token = text.substr(start, i - start);
    if (token.size() >= 2 && IsSwitchPrefix(token[0])) {
      size_t name_start = token[1] == L'-' ? 2 : 1;
      if (name_start >= token.size()) continue;  // "--" alone names nothing
      std::wstring name;
      std::wstring value;
      if (equals == std::wstring::npos) {
        name = token.substr(name_start);
      } else {
        size_t eq = equals - start;
        name = token.substr(name_start, eq - name_start);
        value = token.substr(eq + 1);
        // Unquote only a real pair: a lone quote stays.
        if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') {
          value = value.substr(1, value.size() - 2);
        }
      }
      switches_[name] = value;
    } else {
      arguments_.push_back(token);
    }
  }
  return true;
}

const std::wstring* CCommandLine::FindSwitch(const std::wstring& name) const {
  auto it = switches_.find(name);
  if (it != switches_.end()) return &it->second;
  if (name.size() > 1 && IsSwitchPrefix(name[0])) {
    size_t skip = name[1] == L'-' ? 2 : 1;
    it = switches_.find(name.substr(skip));
    if (it != switches_.end()) return &it->second;
  }
  return nullptr;
}

bool CCommandLine::HasSwitch(const std::wstring& name) const { return FindSwitch(name) != nullptr; }

bool CCommandLine::GetSwitchValue(const std::wstring& name, std::wstring* value) const {
  const std::wstring* found = FindSwitch(name);
  *value = found ? *found : std::wstring();
  return found != nullptr;
}

void CCommandLine::GetArguments(std::vector<std::wstring>* arguments) const {
  *arguments = arguments_;
}

std::wstring CCommandLine::GetFilePath() const {
  for (const std::wstring& argument : arguments_) {
    std::wstring path = basic_lib::UnquotePath(argument);
    if (path.empty() || path.find(L'\0') != std::wstring::npos) continue;
    if (!basic_lib::PathExists(path)) continue;
    if (basic_lib::FindExtension(path) == L".exe") continue;
    return path;
  }
  return std::wstring();
}

bool CCommandLine::RunStartupModes() { return RunStartupModes(CAppConfig::Instance()); }

bool CCommandLine::RunStartupModes(CAppConfig& config) {
  basic_lib::CExtBindLibrary association;
  if (HasSwitch(L"/install")) {
    basic_lib::ScopedKernelHandle mutex(
        ::CreateMutexW(nullptr, FALSE, handover::kAssociationMutexName));
    DWORD wait = mutex ? ::WaitForSingleObject(mutex.Get(), INFINITE) : WAIT_FAILED;
    config.userSetDefaultViewer = 1;
    config.Save();
    association.CallSetDefaultImageViewer(0);
    // Released before closing, so a waiting viewer is not told the mutex was abandoned.
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) ::ReleaseMutex(mutex.Get());
    return false;
  }
  if (HasSwitch(L"/uninstall")) {
    association.CallUnInstall(HKEY_CURRENT_USER);
    app::DeleteDataFolder();
    return false;
  }
  using handover::FindReceiver;
  using handover::SendOpenRequest;
  const wchar_t* always = targets_.always_receiver.c_str();
  if (HasSwitch(L"--setting") && SendOpenRequest(FindReceiver(always), L"--setting")) {
    return false;
  }
  if (HasSwitch(L"--show-existing") && SendOpenRequest(FindReceiver(always), raw_text_)) {
    return false;
  }
  if (HasSwitch(L"--LockscreenSet") && SendOpenRequest(FindReceiver(always), raw_text_)) {
    return false;
  }
  if (config.onlyOneInstance == 1 &&
      SendOpenRequest(FindReceiver(targets_.single_instance_receiver.c_str()), GetFilePath())) {
    return false;
  }
  return !TryMainWindows();
}

bool CCommandLine::TryMainWindows() {
  MainWindowSearch search{&targets_.main_window_class, own_process_id_, {}};
  ::EnumWindows(CollectMainWindows, reinterpret_cast<LPARAM>(&search));
  for (HWND wnd : search.windows) {
    if (ShortCaption(wnd) != handover::kDisplayName) continue;
    if (handover::SendOpenRequest(wnd, GetFilePath())) return true;
  }
  return false;
}
