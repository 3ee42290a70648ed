// What belongs to the program rather than to one window: the message boxes,
// the busy cursor, and the run from start to end.
#pragma once

#include <windows.h>

#include "handlers/view.h"

namespace zenor9::win32 {

class MainWindow;
class SetupDialog;

class Application final : public ApplicationView {
 public:
  void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void BeginBusyCursor() override;
  void EndBusyCursor() override;

  // Creates both windows, runs until the main window closes, destroys them.
  int Run();

 private:
  HWND BoxOwner() const;

  MainWindow* main_ = nullptr;
  SetupDialog* dialog_ = nullptr;
  int busy_ = 0;
  HCURSOR idleCursor_ = nullptr;
};

}  // namespace zenor9::win32
