// The main window: tool bar, net number and prefix fields, status line, footer.
#pragma once

#include "win32/form_view.h"

namespace zenor9::win32 {

class MainWindow final : public FormView<MainWindowView> {
 public:
  explicit MainWindow(Handlers& handlers);

  // Ends the message loop; the program then destroys its windows.
  void CloseWindow() override;
  // Shown centred on the screen, the focus in the prefix field with its text
  // selected.
  void Show();

 protected:
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnActivate(bool active) override;
};

}  // namespace zenor9::win32
