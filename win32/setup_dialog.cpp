#include "win32/setup_dialog.h"

#include "win32/message_loop.h"

namespace zenor9::win32 {

SetupDialog::SetupDialog(Handlers& handlers, HWND mainWindow)
    : FormView(handlers, forms::InitCom(), L"Zenor9InitCom", mainWindow), mainWindow_(mainWindow) {}

void SetupDialog::RunModal() {
  running_ = true;
  ended_ = false;
  EnableWindow(mainWindow_, FALSE);
  FocusOnActivation(IdOf(Control::Button1));
  ShowCentred();  // its activation runs FormActivate
  RunMessages(Hwnd(), [this] { return ended_; });
  // The main window is enabled before the dialog hides, so that Windows
  // activates it again rather than another program's window.
  EnableWindow(mainWindow_, TRUE);
  ShowWindow(Hwnd(), SW_HIDE);
  SetActiveWindow(mainWindow_);
  running_ = false;
}

void SetupDialog::EndModal() {
  ended_ = true;
}

LRESULT SetupDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  // Alt+F4 or a window manager's close button: the handlers treat it as
  // "Закрыть".
  if (message == WM_CLOSE) {
    if (Listening() && running_) Handled().CloseRequested(zenor9::Window::Init_Com);
    return 0;
  }
  return Form::Handle(message, wParam, lParam);
}

void SetupDialog::OnActivate(bool active) {
  if (active && running_ && Listening()) Handled().Activated(zenor9::Window::Init_Com);
}

}  // namespace zenor9::win32
