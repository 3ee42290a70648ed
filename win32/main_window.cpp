#include "win32/main_window.h"

namespace zenor9::win32 {

MainWindow::MainWindow(Handlers& handlers)
    : FormView(handlers, forms::MainForm(), L"Zenor9MainForm", nullptr) {}

void MainWindow::CloseWindow() {
  PostQuitMessage(0);
}

void MainWindow::Show() {
  const int prefix = IdOf(Control::VelmorSpinEdit);
  FocusOnActivation(prefix);
  ShowCentred();
  SetFocus(ControlWindow(prefix));
  SendMessageW(ControlWindow(prefix), EM_SETSEL, 0, -1);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  // The close box, the system menu and Alt+F4 end the program as tbExit does.
  // A disabled window (under a modal dialog or a message box) takes no close.
  if (message == WM_CLOSE) {
    if (Listening() && IsWindowEnabled(Hwnd()) &&
        Handled().CloseRequested(zenor9::Window::MainForm)) {
      CloseWindow();
    }
    return 0;
  }
  return Form::Handle(message, wParam, lParam);
}

void MainWindow::OnActivate(bool active) {
  if (active && Listening()) Handled().Activated(zenor9::Window::MainForm);
}

}  // namespace zenor9::win32
