#include "app/bridge_calls.h"

#include <windows.h>

#if defined(LUMORA_HAS_SERVICE_BRIDGE)
#include "service_bridge/service_bridge.h"
#endif

namespace bridge {

#if defined(LUMORA_HAS_SERVICE_BRIDGE)
using service_bridge::CServiceBridge;

void LoadOrExit() {
  if (!CServiceBridge::Instance().Load()) ::ExitProcess(0);
}
void StartStat() { CServiceBridge::Instance().StartStat(); }
void SendEvent(const std::wstring& event) { CServiceBridge::Instance().SendStatUrl(event); }
void SendStartSource(const std::wstring& from_value) {
  CServiceBridge::Instance().SendStartSource(from_value);
}
int GetQuickIndexState() { return CServiceBridge::Instance().GetQuickIndexState(); }
void SetQuickIndexState(int state) { CServiceBridge::Instance().SetQuickIndexState(state); }
void Destroy() { CServiceBridge::DestroyInstance(); }
#else
// Until the bridge client joins the build every call is a no-op.
void LoadOrExit() {}
void StartStat() {}
void SendEvent(const std::wstring&) {}
void SendStartSource(const std::wstring&) {}
int GetQuickIndexState() { return 0; }
void SetQuickIndexState(int) {}
void Destroy() {}
#endif

}  // namespace bridge
