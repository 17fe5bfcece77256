#pragma once

#include <windows.h>

#include "app/command_line.h"

// Command ids delivered to the main window as WM_COMMAND, and the private window messages the
// program's windows exchange. Stored and sent values: never renumber.
namespace cmd {
constexpr UINT kInfoPanel = 20000;
constexpr UINT kShowOnMap = 20001;
constexpr UINT kFitOrActual = 20002;
constexpr UINT kZoomIn = 20003;
constexpr UINT kZoomOut = 20004;
constexpr UINT kPrevious = 20005;
constexpr UINT kNext = 20006;
constexpr UINT kRotateLeft = 20007;
constexpr UINT kRotateRight = 20008;
constexpr UINT kDelete = 20009;
constexpr UINT kResize = 20010;
constexpr UINT kEnhance = 20011;
constexpr UINT kMainMenu = 20012;
constexpr UINT kFullScreen = 20013;
constexpr UINT kConvert = 20014;
constexpr UINT kOpen = 21000;
constexpr UINT kSaveAs = 21001;
constexpr UINT kCopy = 21002;
constexpr UINT kShowInFolder = 21003;
constexpr UINT kNothing = 21004;
constexpr UINT kPrint = 21100;
constexpr UINT kWallpaper = 21101;
constexpr UINT kTopmost = 21600;
constexpr UINT kWheelPages = 21700;
constexpr UINT kWheelZoom = 21701;
constexpr UINT kToolbarTop = 21750;
constexpr UINT kToolbarBottom = 21751;
constexpr UINT kSettings = 21800;
constexpr UINT kAbout = 21801;
constexpr UINT kRedrawView = 21802;
constexpr UINT kOpenWith = 21803;
constexpr UINT kFeedback = 21804;
constexpr UINT kScrollUp = 26000;
constexpr UINT kScrollDown = 26001;
constexpr UINT kDefaultViewer = 26002;
// Caption buttons.
constexpr UINT kCaptionClose = 1023;
constexpr UINT kCaptionMaximize = 1026;
constexpr UINT kCaptionMinimize = 1027;
constexpr UINT kCaptionFullScreen = 1029;
}  // namespace cmd

namespace msg {
constexpr UINT kPlaceCaptionText = WM_USER + 20000;  // 0x5220
constexpr UINT kFolderScanDone = 0x8032;
constexpr UINT kTaskReturned = 0x8081;
constexpr UINT kTaskSend = 0x8082;
constexpr UINT kZoomFrameDone = 0x81F5;
constexpr UINT kPreRenderDone = 0x81F6;
constexpr UINT kCacheTaskDone = 0x81F8;
constexpr UINT kFolderListReady = 0x81F9;
constexpr UINT kFitViewDone = 0x81FA;
constexpr UINT kAnimationDone = 0x81FB;
constexpr UINT kRepaint = 0x81FC;
constexpr UINT kEffectClosed = 0x81FD;
constexpr UINT kOpenFirstImage = 0x81FE;
constexpr UINT kOpenHandedOver = 0x81FF;
constexpr UINT kOfferDefaultViewer = 0x8200;
constexpr UINT kQuickIndexChanged = 0x8201;
constexpr UINT kApplyDefaultViewer = 0x8202;
constexpr UINT kMenuClosed = 0x8203;
constexpr UINT kFeedbackClosed = 0x8204;
constexpr UINT kResizeDone = 0x8205;
constexpr UINT kLockscreenSettings = 0x8206;
}  // namespace msg

// Child-window and timer ids of the main window.
namespace main_ids {
constexpr UINT kImageView = 101;
constexpr UINT kToolbar = 102;
constexpr UINT kMenubar = 103;
constexpr UINT kLogo = 103;
constexpr UINT kCaptionText = 1025;
constexpr UINT_PTR kTimerExitGuard = 4096;
constexpr UINT_PTR kTimerStartTray = 4097;
constexpr UINT_PTR kTimerStartSource = 4098;
constexpr UINT_PTR kTimerSizeSettled = 4099;
}  // namespace main_ids

// Names shared with the start-up hand-over.
using handover::kAlwaysReceiverName;
using handover::kMainWindowClass;
using handover::kOpenRequestTag;
using handover::kSingleInstanceReceiverName;

constexpr wchar_t kQuitBroadcastMessage[] = L"Lumora_quit_broadcast_msg";
