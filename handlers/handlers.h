// The handlers of the main window and of the interface set-up dialog, written
// once for every front end: each step, message box, status line and enabled
// state is decided here, and reaches the windows only through their views.
//
// A front end creates one Handlers for the run, tells it when each window has
// been created and is being destroyed, and forwards its controls' events
// (Clicked, Changed, Activated, CloseRequested). Those entry points run the
// handler under the unhandled-error display (unhandled_error.h). Events that
// have no handler (a radio button's click, the prefix field's change) may be
// forwarded all the same: they do nothing.
#pragma once

#include <optional>

#include "handlers/app_state.h"
#include "handlers/view.h"
#include "memmap/prefix_cells.h"

namespace zenor9 {

class Handlers {
 public:
  Handlers(AppState& state, ApplicationView& application);
  Handlers(const Handlers&) = delete;
  Handlers& operator=(const Handlers&) = delete;

  // The window now exists with all its controls, in their initial states and
  // with no event forwarded yet: its view joins, then FormCreate runs (main
  // window only). Forward the controls' events only after this call.
  void Created(MainWindowView& view);
  void Created(SetupDialogView& view);
  // The window is being destroyed: FormDestroy runs (main window only), then
  // the view leaves. The dialog is destroyed before the main window.
  void Destroyed(MainWindowView& view);
  void Destroyed(SetupDialogView& view);

  // A click on a button, or a change of a check box's state by the user or by
  // the program.
  void Clicked(Control control);
  // A change of a spin edit's text, whatever its cause.
  void Changed(Control control);
  // The window became the active window (for the dialog: at least once per
  // modal run, when it is shown).
  void Activated(Window window);
  // A request to close the window from outside its controls (a window
  // manager's close button, Alt+F4). True: let the window close, which for the
  // main window ends the program as tbExit does. False: the request has been
  // handled here (for the dialog it acts as "Закрыть" and ends the modal run).
  bool CloseRequested(Window window);

 private:
  // The main window's handlers (TMainForm), each run by the entry points above
  // under the unhandled-error display.
  void tbExitClick();
  void tbConnectClick();
  void ButtonEnabled();
  void ButtonDisabled();
  void FormCreate();
  void FormDestroy();
  void tbReadClick();
  void tbWriteClick();
  void UseCheckBoxClick();
  void AutoDetectCheckBoxClick();
  void NetNumSpinEditChange();

  // The set-up dialog's handlers (TInit_Com).
  void Button1Click();
  void Button3Click();
  void FormActivate();

  MainWindowView& Main() const;
  SetupDialogView& Dialog() const;
  void Guarded(void (Handlers::*handler)());
  void ShowNetNumber();
  void SetStatus(const char* text);
  void ShowPortDevices();
  uint8_t ChosenPort() const;
  // The net number field's text as a net number, 0 to 99; nothing for text
  // that is none.
  std::optional<uint8_t> TypedNetNumber() const;
  void ShowPrefixNotUsed();
  void ReadFailed();
  bool WriteCells(const PrefixCells& cells);
  void RecordWrite(const PrefixCells& cells, bool written);
  void WriteEnded(bool written);

  AppState& state_;
  ApplicationView& application_;
  MainWindowView* main_ = nullptr;
  SetupDialogView* dialog_ = nullptr;
};

}  // namespace zenor9
