#pragma once

#include <windows.h>

// The main window's one connection to the message channel of the companion tray program: it
// connects and listens while the main window exists and sends the viewer's messages. A quit
// request from the tray (type 2, routing 2 or 0) reaches the owner as `quit_message`.
class CMessageChannelLink {
 public:
  // Connects to the channel and adds the main window as its listener.
  void Connect(HWND main_window, UINT quit_message);
  // Removes the listener and disconnects.
  void Disconnect();
  bool IsConnected() const { return main_window_ != nullptr; }

  // Type 1: the quick-index switch, reduced to 0 or 1.
  void SendQuickIndex(int state);
  // Type 2: the last viewer is closing with completely_exit on.
  void SendExit();

 private:
  HWND main_window_ = nullptr;
  UINT quit_message_ = 0;
};
