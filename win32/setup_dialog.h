// The interface set-up dialog: COM1 to COM4, "Установить интерфейс" and
// "Закрыть". Modal: while it runs, the main window is disabled.
#pragma once

#include "win32/form_view.h"

namespace zenor9::win32 {

class SetupDialog final : public FormView<SetupDialogView> {
 public:
  SetupDialog(Handlers& handlers, HWND mainWindow);

  void RunModal() override;
  void EndModal() override;
  bool Running() const { return running_; }

 protected:
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnActivate(bool active) override;

 private:
  HWND mainWindow_;
  bool running_ = false;
  bool ended_ = false;
};

}  // namespace zenor9::win32
