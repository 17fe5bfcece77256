#include "app/message_channel_link.h"

// The channel library is not part of the program yet: connecting only remembers the window and
// sends go nowhere, as they do when the tray program is not running.

void CMessageChannelLink::Connect(HWND main_window, UINT quit_message) {
  main_window_ = main_window;
  quit_message_ = quit_message;
}

void CMessageChannelLink::Disconnect() {
  main_window_ = nullptr;
  quit_message_ = 0;
}

void CMessageChannelLink::SendQuickIndex(int state) { (void)(state != 0 ? 1 : 0); }

void CMessageChannelLink::SendExit() {}
