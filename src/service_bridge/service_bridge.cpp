#include "service_bridge/service_bridge.h"

#include <cwchar>

#include "basic_lib/singleton.h"

namespace service_bridge {
namespace {

class RealBridgeSystem : public IBridgeSystem {
 public:
  HMODULE FindLoadedModule(const wchar_t* name) override { return ::GetModuleHandleW(name); }
  HMODULE LoadModule(const std::wstring& path) override { return ::LoadLibraryW(path.c_str()); }
  void UnloadModule(HMODULE module) override { ::FreeLibrary(module); }
  FARPROC FindExport(HMODULE module, const char* name) override {
    return ::GetProcAddress(module, name);
  }
  std::wstring ExecutableFolder() override {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      DWORD n = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
      if (n == 0) return std::wstring();
      if (n < path.size()) {
        path.resize(n);
        break;
      }
      if (path.size() >= 32768) return std::wstring();
      path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
  }
  void EndProcess(UINT exit_code) override { ::ExitProcess(exit_code); }
};

// "C:\a\b\" -> "C:\a\"; empty when there is no parent.
std::wstring ParentFolder(const std::wstring& folder) {
  if (folder.size() < 2) return std::wstring();
  size_t slash = folder.find_last_of(L"\\/", folder.size() - 2);
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

constexpr size_t kMaxVersionText = 1024;

}  // namespace

std::unique_ptr<IBridgeSystem> CreateRealBridgeSystem() {
  return std::make_unique<RealBridgeSystem>();
}

std::wstring StartSourceFromSwitch(const std::wstring& from_value) {
  static const struct {
    const wchar_t* from;
    const wchar_t* source;
  } kSources[] = {
      {L"task", L"auto"},
      {L"reg_run", L"auto_reg"},
      {L"svc", L"svc"},
      {L"startmenu", L"menu"},
      {L"main", L"main"},
      {L"desktop", L"lnk"},
      {L"tray", L"tray"},
      {L"newinstall", L"newinstall"},
      {L"upinstall", L"upinstall"},
      {L"contextmenu", L"contextmenu"},
      {L"openwith", L"shell"},
  };
  for (const auto& s : kSources) {
    if (from_value == s.from) return s.source;
  }
  return L"unknown";
}

CServiceBridge& CServiceBridge::Instance() {
  return basic_lib::CSingletonT<CServiceBridge>::Instance();
}

void CServiceBridge::DestroyInstance() { basic_lib::CSingletonT<CServiceBridge>::Destroy(); }

CServiceBridge::CServiceBridge() : CServiceBridge(CreateRealBridgeSystem()) {}

CServiceBridge::CServiceBridge(std::unique_ptr<IBridgeSystem> system)
    : system_(std::move(system)) {}

CServiceBridge::~CServiceBridge() {
  ReleaseQuickIndex();
  if (quick_module_) system_->UnloadModule(quick_module_);
  if (module_ && module_owned_) system_->UnloadModule(module_);
}

bool CServiceBridge::Load() {
  if (module_) return true;
  if (HMODULE loaded = system_->FindLoadedModule(kLibraryName)) {
    module_ = loaded;
    module_owned_ = false;
    return true;
  }
  const std::wstring folder = system_->ExecutableFolder();
  if (folder.empty()) return false;
  const std::wstring candidates[] = {folder, ParentFolder(folder)};
  for (const std::wstring& dir : candidates) {
    if (dir.empty()) continue;
    if (HMODULE m = system_->LoadModule(dir + kLibraryName)) {
      module_ = m;
      module_owned_ = true;
      return true;
    }
  }
  return false;
}

bool CServiceBridge::LoadOrEnd() {
  if (Load()) return true;
  // The viewer does not run without its service bridge.
  system_->EndProcess(0);
  return false;
}

FARPROC CServiceBridge::Export(const char* name) {
  if (!LoadOrEnd()) return nullptr;
  return system_->FindExport(module_, name);
}

void CServiceBridge::StartStat() {
  if (stat_started_) return;
  auto fn = reinterpret_cast<StartStatFn>(reinterpret_cast<void*>(Export("StartStat")));
  if (!module_) return;
  stat_started_ = true;
  if (fn) fn();
}

void CServiceBridge::SendStatUrl(const std::wstring& event) {
  const bool main_event = event == kEventOpen || event.compare(0, 5, L"open_") == 0;
  SendStatUrl(main_event ? kCategoryMain : kCategoryFeature, event);
}

void CServiceBridge::SendStatUrl(const std::wstring& category, const std::wstring& event) {
  if (category.empty() || event.empty()) return;
  auto fn = reinterpret_cast<SendStatUrlFn>(reinterpret_cast<void*>(Export("SendStatUrl")));
  if (fn) fn(category.c_str(), event.c_str());
}

void CServiceBridge::SendStartSource(const std::wstring& from_value) {
  SendStatUrl(kCategoryMain, L"open_" + StartSourceFromSwitch(from_value));
}

std::wstring CServiceBridge::GetOsVersion() {
  auto fn = reinterpret_cast<GetOsVersionFn>(reinterpret_cast<void*>(Export("GetOsVersion")));
  if (!fn) return std::wstring();
  const wchar_t* text = fn();
  if (!text) return std::wstring();
  return std::wstring(text, wcsnlen(text, kMaxVersionText));
}

IPLibWrapper* CServiceBridge::QuickIndex() {
  if (quick_tried_) return quick_;
  quick_tried_ = true;
  const std::wstring folder = system_->ExecutableFolder();
  if (folder.empty()) return nullptr;
  quick_module_ = system_->LoadModule(folder + kLibraryName);
  if (!quick_module_) return nullptr;
  auto create = reinterpret_cast<CreatePLibWrapperFn>(
      reinterpret_cast<void*>(system_->FindExport(quick_module_, "CreatePLibWrapper")));
  if (!create) return nullptr;
  quick_ = create();
  if (quick_) quick_->Initialize(0, L"lumora", 0);
  return quick_;
}

int CServiceBridge::GetQuickIndexState() {
  IPLibWrapper* q = QuickIndex();
  return q ? q->GetQuickIndexState() : 0;
}

int CServiceBridge::SetQuickIndexState(int state) {
  IPLibWrapper* q = QuickIndex();
  return q ? q->SetQuickIndexState(state) : 0;
}

void CServiceBridge::ReleaseQuickIndex() {
  if (quick_) {
    quick_->Release();
    quick_ = nullptr;
  }
}

}  // namespace service_bridge
