// The windows as a toolkit would keep them, without a toolkit: each control's
// state in a table, the events forwarded back to the handlers synchronously
// when a state changes, the modal run of the dialog as a script, the message
// boxes recorded. Over them, the program on an emulated register line on
// virtual time.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/line.h"
#include "handlers/handlers.h"
#include "handlers/spin_field.h"
#include "link/clock.h"

namespace zenor9::test {

struct FakeControl {
  std::string text;
  bool checked = false;
  bool enabled = true;
  std::string toolTip;
  int repaints = 0;
};

template <typename View>
class FakeControls : public View {
 public:
  FakeControls(Handlers& handlers, std::map<Control, FakeControl> initial)
      : controls(std::move(initial)), handlers_(handlers) {}

  std::string Text(Control c) const override { return controls.at(c).text; }
  void SetText(Control c, const std::string& text) override {
    if (controls.at(c).text == text) return;
    controls.at(c).text = text;
    handlers_.Changed(c);
  }
  bool Checked(Control c) const override { return controls.at(c).checked; }
  void SetChecked(Control c, bool checked) override {
    if (controls.at(c).checked == checked) return;
    if (checked && IsRadio(c)) {
      for (auto& [other, state] : controls) {
        if (IsRadio(other)) state.checked = false;
      }
    }
    controls.at(c).checked = checked;
    handlers_.Clicked(c);
  }
  bool Enabled(Control c) const override { return controls.at(c).enabled; }
  void SetEnabled(Control c, bool enabled) override { controls.at(c).enabled = enabled; }
  void SetToolTip(Control c, const std::string& text) override { controls.at(c).toolTip = text; }
  void RepaintNow(Control c) override { ++controls.at(c).repaints; }

  // What the user does. A disabled control takes nothing.
  void Press(Control c) {
    if (Enabled(c)) handlers_.Clicked(c);
  }
  void Toggle(Control c) {
    if (Enabled(c)) SetChecked(c, !Checked(c));
  }
  // Typed one character at a time; refused characters are counted as beeps.
  void Type(Control c, std::string_view typed) {
    for (const char character : typed) {
      if (!Enabled(c)) return;
      if (SpinFieldAccepts(static_cast<unsigned char>(character))) {
        SetText(c, Text(c) + character);
      } else {
        ++beeps;
      }
    }
  }
  // Pasted or selected over: the whole text at once, unchecked.
  void Replace(Control c, const std::string& text) {
    if (Enabled(c)) SetText(c, text);
  }
  // The focus leaves the spin edit for another control of the window.
  void Leave(Control c) {
    if (auto inRange = TextBroughtIntoRange(Text(c), SpinRangeOf(c))) SetText(c, *inRange);
  }

  std::map<Control, FakeControl> controls;
  int beeps = 0;

 protected:
  static bool IsRadio(Control c) { return c >= Control::RadioButton1; }

  Handlers& handlers_;
};

class FakeMainWindow final : public FakeControls<MainWindowView> {
 public:
  explicit FakeMainWindow(Handlers& handlers);
  void CloseWindow() override { closed = true; }
  bool closed = false;
};

class FakeSetupDialog final : public FakeControls<SetupDialogView> {
 public:
  explicit FakeSetupDialog(Handlers& handlers);
  // Activates the dialog, then runs the script as the user inside the modal
  // run; a dialog the script left open is closed with Button3.
  void RunModal() override;
  void EndModal() override;

  std::function<void()> script;
  bool visible = false;
  int runs = 0;
  int endsOutsideARun = 0;
};

struct ShownBox {
  std::string text;
  std::string caption;
  unsigned flags;
  std::string status;  // the status line while the box was up
  bool busy;           // the wait cursor was up
  bool buttonsEnabled;
  bool dialogOpen;
};

class FakeApplication final : public ApplicationView {
 public:
  void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void BeginBusyCursor() override { ++busy; }
  void EndBusyCursor() override { --busy; }

  std::vector<ShownBox> boxes;
  int busy = 0;
  const FakeMainWindow* main = nullptr;
  const FakeSetupDialog* dialog = nullptr;
};

// The program over fakes of its windows, on an emulated line whose register has
// `netNumber`. COM1 leads to the line; COM2 to COM4 name devices that do not
// open.
class Bench {
 public:
  explicit Bench(uint8_t netNumber = 0);
  ~Bench();

  // Presses tbConnect; `inDialog` runs inside the dialog's modal run.
  void Connect(std::function<void()> inDialog);
  // A whole set-up with Button1 and the dialog's choices as they are; true when
  // it connected without a box.
  bool ConnectOk();

  std::string Status() const { return main.Text(Control::PanelStatus); }
  bool ButtonsEnabled() const;
  bool ButtonsDisabled() const;
  // Makes the register silent from the n-th command sent from now on.
  void SilenceFromCommand(int n);
  // Commands sent since the log was last cleared (each starts with one address byte).
  int CommandsSent() const;
  // Bytes sent to the register while the wait cursor was not up.
  int BytesSentWithoutWaitCursor() const { return idleBytes_; }

  emu::Line line;
  emu::Register& reg;
  VirtualClock clock{10};
  AppState state;
  FakeApplication app;
  Handlers handlers{state, app};
  FakeMainWindow main{handlers};
  FakeSetupDialog dialog{handlers};

 private:
  void Observe(const emu::WireByte& byte);

  int idleBytes_ = 0;
  int commandsToSilence_ = 0;  // 0: none
};

// The device that COMn stands for in these tests.
std::string TestDevice(int comNumber);

}  // namespace zenor9::test
