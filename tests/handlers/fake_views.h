// The windows as a toolkit keeps them, without a toolkit: each control's state
// in a table, its event forwarded to the handlers before a change of state
// returns, the dialog's modal run as a script, the message boxes recorded.
// Over them, the program on an emulated register line on virtual time.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "emulator/line.h"
#include "handlers/handlers.h"
#include "handlers/spin_field.h"
#include "link/clock.h"

namespace zenor9::test {

struct FakeControl {
  FakeControl(std::string text = "", bool checked = false, bool enabled = true)
      : text(std::move(text)), checked(checked), enabled(enabled) {}
  std::string text;
  bool checked;
  bool enabled;
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
    if (std::exchange(controls.at(c).text, text) != text) handlers_.Changed(c);
  }
  bool Checked(Control c) const override { return controls.at(c).checked; }
  void SetChecked(Control c, bool checked) override {
    if (controls.at(c).checked == checked) return;
    for (auto& [other, state] : controls) {
      if (checked && c >= Control::RadioButton1 && other >= Control::RadioButton1) {
        state.checked = false;  // one radio button of the group
      }
    }
    controls.at(c).checked = checked;
    handlers_.Clicked(c);
  }
  bool Enabled(Control c) const override { return controls.at(c).enabled; }
  void SetEnabled(Control c, bool enabled) override { controls.at(c).enabled = enabled; }
  void SetToolTip(Control c, const std::string& text) override { controls.at(c).toolTip = text; }
  void RepaintNow(Control c) override { ++controls.at(c).repaints; }

  // The user's acts; a disabled control takes none.
  void Press(Control c) {
    if (Enabled(c)) handlers_.Clicked(c);
  }
  void Toggle(Control c) {
    if (Enabled(c)) SetChecked(c, !Checked(c));
  }
  void Type(Control c, const std::string& text) {
    if (Enabled(c)) SetText(c, text);
  }
  // The focus goes to another control of the window.
  void Leave(Control c) {
    if (auto inRange = TextBroughtIntoRange(Text(c), SpinRangeOf(c))) SetText(c, *inRange);
  }

  std::map<Control, FakeControl> controls;

 protected:
  Handlers& handlers_;
};

class FakeMainWindow final : public FakeControls<MainWindowView> {
 public:
  explicit FakeMainWindow(Handlers& handlers);
  void CloseWindow() override {}
};

class FakeSetupDialog final : public FakeControls<SetupDialogView> {
 public:
  explicit FakeSetupDialog(Handlers& handlers);
  // Activation, then the script as the user; a dialog left open is closed
  // with Button3.
  void RunModal() override;
  void EndModal() override;

  std::function<void()> script;
  bool visible = false;
  int endsOutsideARun = 0;
};

struct ShownBox {
  std::string text;
  std::string caption;
  unsigned flags;
  // While the box was up:
  std::string status;
  bool busy;
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

// The register has `netNumber`. COM1 leads to its line; COM2 to COM4 do not
// open.
class Bench {
 public:
  explicit Bench(uint8_t netNumber = 0);
  ~Bench();

  // Presses tbConnect; `inDialog` runs inside the dialog's modal run.
  void Connect(std::function<void()> inDialog);
  // Button1 with the dialog's choices as they are; true when it connected
  // without a box.
  bool ConnectOk();

  std::string Status() const { return main.Text(Control::PanelStatus); }
  bool ButtonsEnabled() const {
    return main.Enabled(Control::tbRead) && main.Enabled(Control::tbWrite);
  }
  bool ButtonsDisabled() const {
    return !main.Enabled(Control::tbRead) && !main.Enabled(Control::tbWrite);
  }
  // The register goes silent from the n-th command sent from now on.
  void SilenceFromCommand(int n) { commandsToSilence_ = n; }
  // Commands sent since the log was last cleared.
  int CommandsSent() const;

  emu::Line line;
  emu::Register& reg;
  VirtualClock clock{10};
  AppState state;
  FakeApplication app;
  Handlers handlers{state, app};
  FakeMainWindow main{handlers};
  FakeSetupDialog dialog{handlers};
  int bytesSentWithoutWaitCursor = 0;

 private:
  int commandsToSilence_ = 0;
};

// The device that COMn stands for in these tests: none that exists.
std::string TestDevice(int comNumber);
// A journal of its own for the writes from now on, in the tests' folder.
std::filesystem::path FreshJournal();

}  // namespace zenor9::test
