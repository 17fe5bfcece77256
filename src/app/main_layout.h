#pragma once

#include <windows.h>

// Geometry of the main window, in client coordinates: pure functions, so the rules can be tested
// without a window.
struct MainLayout {
  RECT caption_strip;
  RECT toolbar;
  RECT view;
  RECT close_button;
  RECT maximize_button;
  RECT minimize_button;
  RECT fullscreen_button;
  RECT menubar_button;
  RECT logo;
};

constexpr int kCaptionStripHeight = 31;
constexpr int kCaptionDragHeight = 30;
constexpr int kCaptionButtonSize = 30;
constexpr int kMinTrackWidth = 700;
constexpr int kMinTrackHeight = 500;

// `toolbar_at_bottom` is toolbar_dock 1. In full screen the three hidden buttons keep their
// places and the full-screen button moves next to the close button.
MainLayout ComputeMainLayout(int client_width, int client_height, bool toolbar_at_bottom,
                             bool full_screen);

// WM_NCHITTEST: true when the client point should answer HTCAPTION (the window is dragged).
bool IsCaptionDragPoint(POINT client_point, int client_width, int client_height, bool full_screen);

// WM_GETMINMAXINFO: the minimum tracking size and the maximised height for a work area.
void ApplyMinMaxInfo(MINMAXINFO* info, const RECT& work_area);
