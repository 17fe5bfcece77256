#pragma once

#include <windows.h>

#include <string>

#include "ipc-message/message/ipc_message.h"

// The parts of "LumoraTray.exe" that tests drive directly: switches, the data folder, the
// record of received messages and the quit broadcast.
namespace lumora_tray {

constexpr const wchar_t* kChannelName = L"DiSVO-qd0s5dnr97138p58";
constexpr const wchar_t* kTrayMutex = L"Global\\LmTray-95745a12eeaa410d";
constexpr const wchar_t* kUpgradeMutex = L"LmTrayUpgradePrivilegeName-d7a77ee6517af62d";
constexpr const wchar_t* kRecordFileName = L"tray_messages.txt";
constexpr const wchar_t* kDataDirVariable = L"LUMORA_DATA_DIR";
// Viewer -> tray messages carry this routing; the tray answers viewers with routing 2.
constexpr int kTrayRoutingId = 1;
constexpr int kViewerRoutingId = 2;
constexpr uint32_t kTypeQuickIndex = 1;
constexpr uint32_t kTypeExit = 2;
constexpr uint32_t kTypeSnipHotkey = 3;
constexpr uint32_t kTypeAssociation = 4;
constexpr uint32_t kTypeLockscreenSwitch = 5;
constexpr uint32_t kTypeLockscreenTime = 6;

struct Options {
  std::wstring data_dir;  // --data-dir=; else LUMORA_DATA_DIR; else "Lumora" in AppData
  // --instance=TAG is appended to the channel name and to both mutex names, so a test can run
  // a tray of its own next to any other.
  std::wstring instance;
  bool quit_viewers = false;  // --quit-viewers: tell every viewer to quit, then end
};

// Unknown switches and plain arguments (the viewer passes its own command line and
// "--from=main") are ignored.
Options ParseCommandLine(const wchar_t* command_line);

// The folder, ending with a backslash, created when missing; empty when there is none.
std::wstring ResolveDataFolder(const Options& options);

// One line (no line break) describing a received message: its type, routing and priority,
// then the payload as that type defines it, or "malformed" with the raw bytes.
std::string FormatRecord(const IPC::Message& message);

// Appends one line to the record file; false when it cannot be written.
bool AppendRecord(const std::wstring& path, const std::string& line);

// Sends the quit message (routing 2, type 2) to every viewer window of the channel.
// Returns how many viewers were reached.
int SendQuitToViewers(const std::wstring& channel_name);

}  // namespace lumora_tray
