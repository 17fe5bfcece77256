#pragma once

#include <windows.h>

#include "framework/wnd.h"

namespace framework {

// A dialog from a template resource, run modally by its own message loop. Every message aimed
// at the dialog or one of its descendants passes PreTranslateMessage first, so accelerator keys
// win over the dialog manager's key handling (Enter, Escape, Tab).
class CDialog : public CWnd {
 public:
  explicit CDialog(UINT template_id) : template_id_(template_id) {}

  // Creates the dialog, runs its loop until EndDialog, destroys it. -1 when it cannot be made.
  INT_PTR DoModal(HWND owner = nullptr);
  // Ends the modal loop with `result` once the current message has been handled.
  void EndDialog(INT_PTR result);
  bool IsModalLoopEnding() const { return end_requested_; }

  // Base: the dialog manager's keyboard handling (IsDialogMessage) for key messages.
  bool PreTranslateMessage(MSG* msg) override;

 protected:
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }

  LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) override;
  // The dialog manager's own processing of the message in hand.
  LRESULT DefWindowProc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam);

  UINT template_id_;
  bool end_requested_ = false;
  INT_PTR result_ = IDCANCEL;
  bool default_requested_ = false;
};

}  // namespace framework
