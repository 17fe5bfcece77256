#pragma once

#include <d2d1.h>

#include "basic_lib/com_ptr.h"

namespace view_render {

// What the rendering pipeline needs from the settings; the application fills it from its
// settings object at start and after every change. Interface thread only.
struct ViewSettings {
  int max_zoom_ratio = 8;        // max_zoom_ratio, 4..32
  int double_click_action = 0;   // double_click_action: non-zero toggles fit <-> 1:1
  bool long_image_mode = false;  // long_image_mode
  bool hardware_zoom = false;    // hardware_zoom: Direct2D hardware target for zoom frames
  bool preload_enable = true;    // preload_enable
};
void SetViewSettings(const ViewSettings& settings);
const ViewSettings& GetViewSettings();

// The system version facts the pipeline branches on; tests replace them.
struct SystemVersion {
  bool windows8_or_later = true;
  bool windows10_or_later = true;
  static SystemVersion Current();
};

// The application's multi-threaded Direct2D factory, created on first use; null when Direct2D is
// missing.
basic_lib::ComPtr<ID2D1Factory> GetD2DFactory();

}  // namespace view_render
