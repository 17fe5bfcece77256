#include "framework/dialog.h"

namespace framework {

INT_PTR CDialog::DoModal(HWND owner) {
  if (hwnd_) return -1;
  end_requested_ = false;
  result_ = IDCANCEL;
  HWND wnd = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(template_id_),
                                  owner, &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  if (!wnd) return -1;
  const bool disable_owner = owner && ::IsWindowEnabled(owner);
  if (disable_owner) ::EnableWindow(owner, FALSE);
  if (!end_requested_ && ::IsWindow(wnd) && !::IsWindowVisible(wnd)) ::ShowWindow(wnd, SW_SHOW);

  MSG msg;
  while (!end_requested_ && ::IsWindow(wnd)) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      // WM_QUIT belongs to the outer loop, if there is one.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (PreTranslateTree(&msg, wnd)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }

  if (disable_owner) ::EnableWindow(owner, TRUE);
  if (::IsWindow(wnd)) {
    if (owner && ::GetActiveWindow() == wnd) ::SetActiveWindow(owner);
    ::DestroyWindow(wnd);
  }
  return result_;
}

void CDialog::EndDialog(INT_PTR result) {
  result_ = result;
  end_requested_ = true;
  // Wakes the loop when the request comes from outside a message handler.
  if (hwnd_) ::PostMessageW(hwnd_, WM_NULL, 0, 0);
}

bool CDialog::PreTranslateMessage(MSG* msg) {
  if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && hwnd_) {
    return ::IsDialogMessageW(hwnd_, msg) != FALSE;
  }
  return false;
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      if (lparam == 0 || HIWORD(wparam) == BN_CLICKED) {
        if (LOWORD(wparam) == IDOK) {
          OnOK();
          return 0;
        }
        if (LOWORD(wparam) == IDCANCEL) {
          OnCancel();
          return 0;
        }
      }
      break;
    default:
      break;
  }
  return CWnd::WindowProc(msg, wparam, lparam);
}

LRESULT CDialog::DefWindowProc(UINT, WPARAM, LPARAM) {
  default_requested_ = true;
  return 0;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND wnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* self = static_cast<CDialog*>(FromHandle(wnd));
  if (!self && msg == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lparam);
    if (self) self->Attach(wnd);
  }
  if (!self) return FALSE;

  const bool outer_default = self->default_requested_;
  self->default_requested_ = false;
  const LRESULT result = self->WindowProc(msg, wparam, lparam);
  const bool use_default = self->default_requested_;
  self->default_requested_ = outer_default;
  if (msg == WM_NCDESTROY) {
    self->Detach();
    self->PostNcDestroy();
    return FALSE;
  }
  if (use_default) return FALSE;
  switch (msg) {
    // These answer through the procedure's own return value.
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
      return static_cast<INT_PTR>(result);
    default:
      ::SetWindowLongPtrW(wnd, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

}  // namespace framework
