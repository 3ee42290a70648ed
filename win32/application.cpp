#include "win32/application.h"

#include <commctrl.h>

#include "handlers/app_state.h"
#include "handlers/handlers.h"
#include "link/win32_text.h"
#include "win32/controls.h"
#include "win32/main_window.h"
#include "win32/message_loop.h"
#include "win32/setup_dialog.h"

namespace zenor9::win32 {

void Application::ShowMessageBox(const std::string& text, const std::string& caption,
                                 unsigned flags) {
  MessageBoxW(BoxOwner(), Wide(text).c_str(), Wide(caption).c_str(), flags);
}

// The box belongs to the window in front, the dialog while it runs: Windows
// disables that window for the box's run (the main window already is under
// the dialog), keeps the box above it and gives the focus back to it.
HWND Application::BoxOwner() const {
  if (dialog_ != nullptr && dialog_->Running()) return dialog_->Hwnd();
  return main_ != nullptr ? main_->Hwnd() : nullptr;
}

void Application::BeginBusyCursor() {
  if (busy_++ == 0) idleCursor_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void Application::EndBusyCursor() {
  if (busy_ > 0 && --busy_ == 0) SetCursor(idleCursor_);
}

int Application::Run() {
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterControlClasses(GetModuleHandleW(nullptr));

  AppState state;
  Handlers handlers(state, *this);
  MainWindow mainWindow(handlers);
  main_ = &mainWindow;
  handlers.Created(mainWindow);  // FormCreate
  SetupDialog dialog(handlers, mainWindow.Hwnd());
  dialog_ = &dialog;
  handlers.Created(dialog);
  mainWindow.Listen();
  dialog.Listen();

  mainWindow.Show();
  RunMessages(mainWindow.Hwnd(), [] { return false; });

  // The windows go in the reverse order of their creation; the main window
  // hides before FormDestroy closes the channel.
  handlers.Destroyed(dialog);
  DestroyWindow(dialog.Hwnd());
  dialog_ = nullptr;
  ShowWindow(mainWindow.Hwnd(), SW_HIDE);
  handlers.Destroyed(mainWindow);
  DestroyWindow(mainWindow.Hwnd());
  main_ = nullptr;
  return 0;
}

}  // namespace zenor9::win32
