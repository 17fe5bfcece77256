#include "view_render/view_settings.h"

#include <mutex>

#include "basic_lib/win_version.h"

namespace view_render {
namespace {
ViewSettings g_view_settings;
std::mutex g_factory_lock;
basic_lib::ComPtr<ID2D1Factory> g_d2d_factory;
bool g_d2d_tried = false;
}  // namespace

void SetViewSettings(const ViewSettings& settings) {
  g_view_settings = settings;
  if (g_view_settings.max_zoom_ratio < 4) g_view_settings.max_zoom_ratio = 4;
  if (g_view_settings.max_zoom_ratio > 32) g_view_settings.max_zoom_ratio = 32;
}

const ViewSettings& GetViewSettings() { return g_view_settings; }

SystemVersion SystemVersion::Current() {
  SystemVersion v;
  v.windows8_or_later = basic_lib::IsWindows8OrGreater();
  v.windows10_or_later = basic_lib::IsWindows10OrGreater();
  return v;
}

basic_lib::ComPtr<ID2D1Factory> GetD2DFactory() {
  std::lock_guard<std::mutex> hold(g_factory_lock);
  if (!g_d2d_tried) {
    g_d2d_tried = true;
    D2D1_FACTORY_OPTIONS options = {};
    if (FAILED(::D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, __uuidof(ID2D1Factory),
                                   &options,
                                   reinterpret_cast<void**>(g_d2d_factory.GetAddressOf())))) {
      g_d2d_factory.Reset();
    }
  }
  return g_d2d_factory;
}

}  // namespace view_render
