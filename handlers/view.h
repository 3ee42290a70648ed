// What the handlers see of the windows: passive views that hold controls and
// take no decision. Each front end (Qt, Win32) implements them over its own
// widgets and forwards its controls' events to the handlers (handlers.h).
//
// A view that changes a control's state on the handlers' behalf reports the
// control's event back synchronously, before the call returns, as the toolkits
// do: SetText on a spin edit whose text changes forwards Changed, SetChecked on
// a check box whose state changes forwards Clicked. Writing the state a control
// already has forwards nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zenor9 {

// The controls the handlers use, named as in the windows' layouts. The main
// window's controls, then the set-up dialog's.
enum class Control : uint8_t {
  ToolBar,
  tbConnect,
  tbRead,
  tbWrite,
  tbExit,
  PanelStatus,  // the status line; its text is the panel's caption
  NetNumSpinEdit,
  AutoDetectCheckBox,
  UseCheckBox,
  VelmorSpinEdit,
  Button1,  // "Установить интерфейс"
  Button3,  // "Закрыть"
  RadioButton1,
  RadioButton2,
  RadioButton3,
  RadioButton4,
};

// The control's name as above ("tbRead"): the object name of its widget.
const char* ControlName(Control control);
// The control named `name`; nothing for a control the handlers do not use.
std::optional<Control> ControlNamed(std::string_view name);

enum class Window : uint8_t { MainForm, Init_Com };

// One window's controls. Texts are UTF-8.
class ControlsView {
 public:
  virtual ~ControlsView() = default;

  virtual std::string Text(Control control) const = 0;
  // Stores the text exactly as given, unchecked (a spin edit included).
  virtual void SetText(Control control, const std::string& text) = 0;
  virtual bool Checked(Control control) const = 0;
  // For a radio button, checking it unchecks the others of its group.
  virtual void SetChecked(Control control, bool checked) = 0;
  virtual bool Enabled(Control control) const = 0;
  // A disabled spin edit disables its spin button with it.
  virtual void SetEnabled(Control control, bool enabled) = 0;
  virtual void SetToolTip(Control control, const std::string& text) = 0;
  // Repaints the control now, before the handler goes on.
  virtual void RepaintNow(Control control) = 0;

  // A spin edit's value: `value` brought into the control's range
  // (spin_field.h) and written as its text.
  void SetValue(Control control, int64_t value);
};

class MainWindowView : public ControlsView {
 public:
  // Closes the main window, which ends the program.
  virtual void CloseWindow() = 0;
};

class SetupDialogView : public ControlsView {
 public:
  // Shows the dialog modally (every other window of the program disabled) and
  // returns once its modal run has ended. Its activation is forwarded as
  // Activated(Window::Init_Com) each time it becomes the active window.
  virtual void RunModal() = 0;
  // Ends the modal run, from a handler running inside it; the dialog hides.
  virtual void EndModal() = 0;
};

// What belongs to the application rather than to one window.
class ApplicationView {
 public:
  virtual ~ApplicationView() = default;

  // A message box modal for the whole application, owned by it rather than by
  // a window, with `caption` as its title and one OK button; `flags` is an
  // MB_ICON* value (texts.h). Returns once the user has dismissed it.
  virtual void ShowMessageBox(const std::string& text, const std::string& caption,
                              unsigned flags) = 0;
  // The wait cursor over every window of the program, from Begin to End.
  virtual void BeginBusyCursor() = 0;
  virtual void EndBusyCursor() = 0;
};

// The wait cursor for the length of a link operation.
class BusyCursor {
 public:
  explicit BusyCursor(ApplicationView& application) : application_(application) {
    application_.BeginBusyCursor();
  }
  ~BusyCursor() { application_.EndBusyCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  ApplicationView& application_;
};

}  // namespace zenor9
