#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

class CAppConfig;

// Window names and tags shared with the hand-over receivers and the main window.
namespace handover {
constexpr wchar_t kAlwaysReceiverName[] = L"IPC-2FF8B16C98D54B499063C7F270264781_Always";
constexpr wchar_t kSingleInstanceReceiverName[] = L"78LA95P677T88HPV48O23RK652C";
constexpr wchar_t kMainWindowClass[] = L"LumoraMainFrameClass-b1f78b3cc4bd764c";
constexpr wchar_t kDisplayName[] = L"Lumora Viewer";
constexpr ULONG_PTR kOpenRequestTag = 0x22678201;
constexpr wchar_t kAssociationMutexName[] = L"LmMainSetFileAssociation-9c1a7e1574578709";
// A receiver that does not answer within this time counts as gone.
constexpr UINT kSendTimeoutMs = 10000;

// Sends `text` (UTF-16, with its terminating zero) in a WM_COPYDATA open request; true only
// when the window answered with a non-zero result.
bool SendOpenRequest(HWND target, const std::wstring& text);
// The message-only receiver of that name, or null.
HWND FindReceiver(const wchar_t* name);
}  // namespace handover

// The program's command line: switches ("-x", "--x", "/x", "/-x", each optionally "=value") and
// plain arguments, and the start-up modes that end the process before any window exists.
class CCommandLine {
 public:
  static CCommandLine& Instance();
  static void DestroyInstance();

  CCommandLine();

  // Always true; replaces everything parsed before.
  bool Parse(const std::wstring& text);
  bool HasSwitch(const std::wstring& name) const;
  bool GetSwitchValue(const std::wstring& name, std::wstring* value) const;
  void GetArguments(std::vector<std::wstring>* arguments) const;
  const std::wstring& GetRawText() const { return raw_text_; }
  // The first argument naming an existing file or folder whose extension is not ".exe".
  std::wstring GetFilePath() const;

  // True: start-up goes on. False: the process ends now (install, uninstall, or handed over).
  bool RunStartupModes();
  bool RunStartupModes(CAppConfig& config);

  // Where the hand-over attempts go. Tests use names of their own so that no other viewer on
  // the machine is contacted, and pretend their own windows belong to another process.
  struct HandoverTargets {
    std::wstring always_receiver = handover::kAlwaysReceiverName;
    std::wstring single_instance_receiver = handover::kSingleInstanceReceiverName;
    std::wstring main_window_class = handover::kMainWindowClass;
  };
  void SetHandoverTargetsForTest(const HandoverTargets& targets) { targets_ = targets; }
  void SetOwnProcessIdForTest(DWORD pid) { own_process_id_ = pid; }

 private:
  const std::wstring* FindSwitch(const std::wstring& name) const;
  bool TryMainWindows();

  std::map<std::wstring, std::wstring> switches_;
  std::vector<std::wstring> arguments_;
  std::wstring raw_text_;
  HandoverTargets targets_;
  DWORD own_process_id_;
};
