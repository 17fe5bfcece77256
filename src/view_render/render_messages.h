#pragma once

#include <windows.h>

// Messages between the render tasks, the pre-renderer's window and the image view.
constexpr UINT WM_ZOOM_FRAMES_READY = 0x81F5;  // to the pre-renderer; wParam the zoom task
constexpr UINT WM_FIRST_FRAME_READY = 0x81F6;  // posted to the view; no parameters
constexpr UINT WM_PRELOAD_DONE = 0x81F8;       // to the pre-renderer; no parameters
constexpr UINT WM_FIT_VIEW_DONE = 0x81FA;      // to the pre-renderer; wParam the fit task

namespace view_render {

// Images of at least this many pixels (1281 x 1281) are fitted and zoomed by pool tasks; smaller
// ones at once on the interface thread.
constexpr long long kBackgroundRenderPixels = 1640961;

inline bool NeedsBackgroundRender(long long width, long long height) {
  return width * height >= kBackgroundRenderPixels;
}

}  // namespace view_render
