#include "companions/tray/tray_core.h"

#include <shellapi.h>
#include <shlobj.h>

#include <set>
#include <sstream>

#include "basic_lib/scoped_handle.h"
#include "ipc-message/message/channel.h"
#include "ipc-message/message/channelimpl.h"

namespace lumora_tray {

namespace {

constexpr size_t kMaxPathLength = MAX_PATH - 32;  // room for the record file's name
constexpr size_t kMaxShownText = 260;             // longest string shown in a record
constexpr size_t kMaxShownBytes = 64;             // raw bytes shown for unknown payloads
constexpr int kMaxViewers = 64;

bool StartsWith(const std::wstring& text, const wchar_t* prefix, std::wstring* rest) {
  size_t n = wcslen(prefix);
  if (text.size() < n || _wcsnicmp(text.c_str(), prefix, n) != 0) return false;
  if (rest) *rest = text.substr(n);
  return true;
}

std::wstring WithBackslash(std::wstring folder) {
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return folder;
}

void AppendHex(std::ostringstream& out, const char* data, size_t length) {
  static const char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(data[i]);
    out << kDigits[c >> 4] << kDigits[c & 15];
  }
}

// Printable ASCII as is; quotes, backslashes and everything else as \xNN.
void AppendQuoted(std::ostringstream& out, const std::string& text) {
  static const char kDigits[] = "0123456789abcdef";
  out << '"';
  size_t shown = text.size() < kMaxShownText ? text.size() : kMaxShownText;
  for (size_t i = 0; i < shown; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out << static_cast<char>(c);
    } else {
      out << "\\x" << kDigits[c >> 4] << kDigits[c & 15];
    }
  }
  if (shown < text.size()) out << "...";
  out << '"';
}

}  // namespace

Options ParseCommandLine(const wchar_t* command_line) {
  Options options;
  if (!command_line || !*command_line) return options;
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(command_line, &argc);
  if (!argv) return options;
  for (int i = 0; i < argc; ++i) {
    std::wstring arg = argv[i];
    std::wstring value;
    if (StartsWith(arg, L"--data-dir=", &value)) {
      if (value.size() <= kMaxPathLength) options.data_dir = value;
    } else if (StartsWith(arg, L"--instance=", &value)) {
      if (value.size() <= 64) options.instance = value;
    } else if (_wcsicmp(arg.c_str(), L"--quit-viewers") == 0) {
      options.quit_viewers = true;
    }
  }
  ::LocalFree(argv);
  return options;
}

std::wstring ResolveDataFolder(const Options& options) {
  std::wstring folder = options.data_dir;
  if (folder.empty()) {
    wchar_t buf[MAX_PATH + 1] = {};
    DWORD n = ::GetEnvironmentVariableW(kDataDirVariable, buf, MAX_PATH);
    if (n > 0 && n <= kMaxPathLength) folder.assign(buf, n);
  }
  if (folder.empty()) {
    wchar_t buf[MAX_PATH + 1] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buf))) {
      return std::wstring();
    }
    folder = WithBackslash(buf) + L"Lumora";
  }
  folder = WithBackslash(folder);
  if (folder.size() > kMaxPathLength) return std::wstring();
  ::CreateDirectoryW(folder.c_str(), nullptr);  // one level; it may exist already
  DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::wstring();
  }
  return folder;
}

std::string FormatRecord(const IPC::Message& message) {
  std::ostringstream out;
  out << "type=" << message.type() << " routing=" << message.routing_id()
      << " priority=" << message.priority();
  PickleIterator it(message);
  bool ok = true;
  int value = 0;
  switch (message.type()) {
    case kTypeQuickIndex:
    case kTypeSnipHotkey:
    case kTypeLockscreenSwitch:
    case kTypeLockscreenTime:
      ok = it.ReadInt(&value);
      if (ok) out << " value=" << value;
      break;
    case kTypeExit:
      break;
    case kTypeAssociation: {
      std::string text;
      ok = it.ReadString(&text) && it.ReadInt(&value);
      if (ok) {
        out << " text=";
        AppendQuoted(out, text);
        out << " state=" << value;
      }
      break;
    }
    default:
      ok = false;
      break;
  }
  if (ok && it.Remaining() == 0) return out.str();
  // Unknown type, missing items or bytes left over: show what came.
  bool known = message.type() >= kTypeQuickIndex && message.type() <= kTypeLockscreenTime;
  if (known) out << (ok ? " extra" : " malformed");
  size_t shown = message.payload_size() < kMaxShownBytes ? message.payload_size() : kMaxShownBytes;
  out << " size=" << message.payload_size() << " bytes=";
  AppendHex(out, message.payload(), shown);
  if (shown < message.payload_size()) out << "...";
  return out.str();
}

bool AppendRecord(const std::wstring& path, const std::string& line) {
  basic_lib::ScopedFileHandle file(::CreateFileW(
      path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::string text = line + "\n";
  DWORD written = 0;
  return ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

int SendQuitToViewers(const std::wstring& channel_name) {
  std::wstring name = std::wstring(CChannel::kClientPrefix) + channel_name;
  IPC::Message quit(kViewerRoutingId, kTypeExit, IPC::Message::PRIORITY_NORMAL);
  COPYDATASTRUCT cds = {};
  cds.dwData = CChannelImpl::kDispatchLater;
  cds.cbData = static_cast<DWORD>(quit.size());
  cds.lpData = const_cast<void*>(quit.data());

  // Every viewer has a window of the same name: message-only ones, and top-level ones for
  // systems that list them there.
  std::set<HWND> seen;
  int reached = 0;
  for (HWND parent : {HWND_MESSAGE, static_cast<HWND>(nullptr)}) {
    HWND after = nullptr;
    while (static_cast<int>(seen.size()) < kMaxViewers) {
      HWND wnd = ::FindWindowExW(parent, after, name.c_str(), name.c_str());
      if (!wnd) break;
      after = wnd;
      if (!seen.insert(wnd).second) continue;
      DWORD_PTR result = 0;
      if (::SendMessageTimeoutW(wnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                                SMTO_NOTIMEOUTIFNOTHUNG, CChannelImpl::kSendTimeoutMs, &result)) {
        ++reached;
      }
    }
  }
  return reached;
}

}  // namespace lumora_tray
