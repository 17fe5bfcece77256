#include "service_bridge/service_bridge.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using service_bridge::CServiceBridge;
using service_bridge::IBridgeSystem;

// What the fake library's exports saw.
struct Calls {
  int start_stat = 0;
  std::vector<std::pair<std::wstring, std::wstring>> stats;
  const wchar_t* os_version = L"Windows 10.0.19045";
  std::vector<std::wstring> quick_init;
  int quick_state = 1;
  int quick_released = 0;
  int frees = 0;  // UnloadModule calls, counted past the bridge's life
};
Calls g_calls;

class FakeQuickIndex final : public IPLibWrapper {
 public:
  int WINAPI Initialize(int flags, const wchar_t* product, int reserved) override {
    g_calls.quick_init.push_back(std::to_wstring(flags) + L"," + product + L"," +
                                 std::to_wstring(reserved));
    return 0;
  }
  int WINAPI GetQuickIndexState() override { return g_calls.quick_state; }
  int WINAPI SetQuickIndexState(int state) override { return g_calls.quick_state = state; }
  void WINAPI Release() override {
    ++g_calls.quick_released;
    delete this;
  }
};

BOOL WINAPI FakeStartStat() {
  ++g_calls.start_stat;
  return TRUE;
}
BOOL WINAPI FakeSendStatUrl(const wchar_t* category, const wchar_t* event) {
  g_calls.stats.emplace_back(category, event);
  return TRUE;
}
const wchar_t* WINAPI FakeGetOsVersion() { return g_calls.os_version; }
IPLibWrapper* WINAPI FakeCreatePLibWrapper() { return new FakeQuickIndex; }
IPLibWrapper* WINAPI NullCreatePLibWrapper() { return nullptr; }

template <typename F>
FARPROC AsFarProc(F fn) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(fn));
}

HMODULE const kFakeModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x7000));

// A file system with a few "SvcBridge.dll" files in it and one fake module behind them all.
struct FakeSystem : IBridgeSystem {
  std::wstring exe_folder = L"C:\\Apps\\Lumora\\bin\\";
  bool already_loaded = false;
  std::vector<std::wstring> present;  // loadable full paths
  std::map<std::string, FARPROC> exports;
  std::vector<std::wstring> load_attempts;
  std::vector<UINT> ended;

  FakeSystem() {
    exports["StartStat"] = AsFarProc(&FakeStartStat);
    exports["SendStatUrl"] = AsFarProc(&FakeSendStatUrl);
    exports["GetOsVersion"] = AsFarProc(&FakeGetOsVersion);
    exports["CreatePLibWrapper"] = AsFarProc(&FakeCreatePLibWrapper);
  }
  HMODULE FindLoadedModule(const wchar_t* name) override {
    EXPECT_STREQ(L"SvcBridge.dll", name);
    return already_loaded ? kFakeModule : nullptr;
  }
  HMODULE LoadModule(const std::wstring& path) override {
    load_attempts.push_back(path);
    for (const auto& p : present) {
      if (p == path) return kFakeModule;
    }
    return nullptr;
  }
  void UnloadModule(HMODULE module) override {
    EXPECT_EQ(kFakeModule, module);
    ++g_calls.frees;
  }
  FARPROC FindExport(HMODULE module, const char* name) override {
    EXPECT_EQ(kFakeModule, module);
    auto it = exports.find(name);
    return it == exports.end() ? nullptr : it->second;
  }
  std::wstring ExecutableFolder() override { return exe_folder; }
  void EndProcess(UINT code) override { ended.push_back(code); }
};

class ServiceBridgeTest : public ::testing::Test {
 protected:
  void SetUp() override { g_calls = Calls(); }
};

TEST_F(ServiceBridgeTest, LoadOrderAlreadyLoadedThenBesideExeThenParent) {
  {
    auto sys = std::make_unique<FakeSystem>();
    FakeSystem* s = sys.get();
    s->already_loaded = true;
    s->present = {L"C:\\Apps\\Lumora\\bin\\SvcBridge.dll"};
    {
      CServiceBridge bridge(std::move(sys));
      EXPECT_TRUE(bridge.Load());
      EXPECT_TRUE(s->load_attempts.empty());
      EXPECT_TRUE(bridge.Load());
    }
    EXPECT_EQ(0, g_calls.frees);  // not ours to free: it was in the process before us
  }
  {
    auto sys = std::make_unique<FakeSystem>();
    FakeSystem* s = sys.get();
    s->present = {L"C:\\Apps\\Lumora\\SvcBridge.dll"};
    {
      CServiceBridge bridge(std::move(sys));
      EXPECT_TRUE(bridge.Load());
      EXPECT_EQ((std::vector<std::wstring>{L"C:\\Apps\\Lumora\\bin\\SvcBridge.dll",
                                           L"C:\\Apps\\Lumora\\SvcBridge.dll"}),
                s->load_attempts);
      EXPECT_TRUE(bridge.Load());  // kept: no second search
      EXPECT_EQ(2u, s->load_attempts.size());
      EXPECT_EQ(0, g_calls.frees);
    }
    EXPECT_EQ(1, g_calls.frees);
  }
}

TEST_F(ServiceBridgeTest, MissingLibraryEndsTheProcessWithZeroOnEveryUse) {
  auto sys = std::make_unique<FakeSystem>();
  FakeSystem* s = sys.get();
  s->exe_folder = L"C:\\bin\\";
  CServiceBridge bridge(std::move(sys));
  EXPECT_FALSE(bridge.Load());
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\bin\\SvcBridge.dll", L"C:\\SvcBridge.dll"}),
            s->load_attempts);
  EXPECT_TRUE(s->ended.empty());  // Load itself leaves the ending to its caller

  bridge.StartStat();
  bridge.SendStatUrl(L"open");
  EXPECT_EQ(L"", bridge.GetOsVersion());
  EXPECT_EQ((std::vector<UINT>{0, 0, 0}), s->ended);
  EXPECT_EQ(0, g_calls.start_stat);
  EXPECT_TRUE(g_calls.stats.empty());

  // The quick-index object never ends the process.
  EXPECT_EQ(0, bridge.GetQuickIndexState());
  EXPECT_EQ(0, bridge.SetQuickIndexState(1));
  EXPECT_EQ(3u, s->ended.size());
}

TEST_F(ServiceBridgeTest, EventsCarryTheirCategoryAndStartStatRunsOnce) {
  auto sys = std::make_unique<FakeSystem>();
  FakeSystem* s = sys.get();
  s->present = {L"C:\\Apps\\Lumora\\bin\\SvcBridge.dll"};
  CServiceBridge bridge(std::move(sys));
  bridge.StartStat();
  bridge.StartStat();
  EXPECT_EQ(1, g_calls.start_stat);

  bridge.SendStatUrl(service_bridge::kEventOpen);
  bridge.SendStatUrl(service_bridge::kEventLocation);
  bridge.SendStatUrl(service_bridge::kEventClip);
  bridge.SendStatUrl(service_bridge::kEventEnhance);
  bridge.SendStatUrl(L"");
  bridge.SendStatUrl(L"main", L"");
  bridge.SendStatUrl(L"", L"x");
  bridge.SendStartSource(L"openwith");
  bridge.SendStartSource(L"");
  const std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {L"main", L"open"},       {L"feature", L"location"}, {L"feature", L"clip"},
      {L"feature", L"enhance"}, {L"main", L"open_shell"},  {L"main", L"open_unknown"}};
  EXPECT_EQ(expected, g_calls.stats);
  EXPECT_TRUE(s->ended.empty());
}

TEST_F(ServiceBridgeTest, StartSourceTable) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
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
      {L"", L"unknown"},
      {L"Task", L"unknown"},  // switch values compare exactly
      {L"openwith ", L"unknown"},
      {L"shell", L"unknown"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.second, service_bridge::StartSourceFromSwitch(c.first)) << c.first;
  }
}

TEST_F(ServiceBridgeTest, MissingExportsAreSilentAndVersionTextIsBounded) {
  auto sys = std::make_unique<FakeSystem>();
  FakeSystem* s = sys.get();
  s->already_loaded = true;
  s->exports.erase("StartStat");
  s->exports.erase("SendStatUrl");
  CServiceBridge bridge(std::move(sys));
  bridge.StartStat();
  bridge.SendStatUrl(L"open");
  EXPECT_TRUE(g_calls.stats.empty());
  EXPECT_EQ(L"Windows 10.0.19045", bridge.GetOsVersion());

  std::wstring huge(5000, L'x');
  g_calls.os_version = huge.c_str();
  EXPECT_EQ(1024u, bridge.GetOsVersion().size());
  g_calls.os_version = nullptr;
  EXPECT_EQ(L"", bridge.GetOsVersion());
  s->exports.erase("GetOsVersion");
  EXPECT_EQ(L"", bridge.GetOsVersion());
  EXPECT_TRUE(s->ended.empty());
}

TEST_F(ServiceBridgeTest, QuickIndexComesOnlyFromBesideTheExecutable) {
  {
    // Parent folder and an already-loaded module do not count for the quick-index object.
    auto sys = std::make_unique<FakeSystem>();
    FakeSystem* s = sys.get();
    s->already_loaded = true;
    s->present = {L"C:\\Apps\\Lumora\\SvcBridge.dll"};
    CServiceBridge bridge(std::move(sys));
    EXPECT_EQ(0, bridge.GetQuickIndexState());
    EXPECT_EQ(0, bridge.SetQuickIndexState(1));
    EXPECT_EQ(std::vector<std::wstring>{L"C:\\Apps\\Lumora\\bin\\SvcBridge.dll"}, s->load_attempts);
    EXPECT_TRUE(g_calls.quick_init.empty());
  }
  {
    auto sys = std::make_unique<FakeSystem>();
    FakeSystem* s = sys.get();
    s->present = {L"C:\\Apps\\Lumora\\bin\\SvcBridge.dll"};
    g_calls.frees = 0;
    {
      CServiceBridge bridge(std::move(sys));
      g_calls.quick_state = 1;
      EXPECT_EQ(1, bridge.GetQuickIndexState());
      EXPECT_EQ(0, bridge.SetQuickIndexState(0));
      EXPECT_EQ(0, bridge.GetQuickIndexState());
      EXPECT_EQ(std::vector<std::wstring>{L"0,lumora,0"}, g_calls.quick_init);
      EXPECT_EQ(1u, s->load_attempts.size());
      bridge.ReleaseQuickIndex();
      EXPECT_EQ(1, g_calls.quick_released);
      EXPECT_EQ(0, bridge.GetQuickIndexState());  // released for good
      EXPECT_EQ(0, g_calls.frees);
    }
    EXPECT_EQ(1, g_calls.frees);
    EXPECT_EQ(1, g_calls.quick_released);
  }
  {
    auto sys = std::make_unique<FakeSystem>();
    FakeSystem* s = sys.get();
    s->present = {L"C:\\Apps\\Lumora\\bin\\SvcBridge.dll"};
    s->exports["CreatePLibWrapper"] = AsFarProc(&NullCreatePLibWrapper);
    CServiceBridge bridge(std::move(sys));
    EXPECT_EQ(0, bridge.GetQuickIndexState());
    EXPECT_EQ(0, bridge.SetQuickIndexState(1));
  }
  {
    // Destroying the bridge releases a live quick-index object.
    auto sys = std::make_unique<FakeSystem>();
    sys->present = {L"C:\\Apps\\Lumora\\bin\\SvcBridge.dll"};
    {
      CServiceBridge bridge(std::move(sys));
      bridge.GetQuickIndexState();
    }
    EXPECT_EQ(2, g_calls.quick_released);
  }
}

}  // namespace
