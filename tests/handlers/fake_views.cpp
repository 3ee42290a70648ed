#include "tests/handlers/fake_views.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "emulator/inprocess_port.h"

namespace zenor9::test {

namespace {

// COMn names a device that does not exist, so that nothing here reaches a real
// port, and the COM map comes from a settings folder of the tests' own.
class TestPorts : public ::testing::Environment {
 public:
  void SetUp() override {
    char folder[] = "/tmp/zenor9-handlers-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    settings_ = folder;
    ::setenv("XDG_CONFIG_HOME", folder, 1);
    // The window's writes are journaled: into the tests' folder, never the user's.
    ::setenv("ZENOR9_JOURNAL", folder, 1);
    for (int n = 1; n <= 4; ++n) {
      ::setenv(("ZENOR9_COM" + std::to_string(n)).c_str(), TestDevice(n).c_str(), 1);
    }
  }
  void TearDown() override { std::filesystem::remove_all(settings_); }

 private:
  std::filesystem::path settings_;
};

[[maybe_unused]] const auto* const kTestPorts = ::testing::AddGlobalTestEnvironment(new TestPorts);

}  // namespace

std::filesystem::path FreshJournal() {
  static int made = 0;
  const std::filesystem::path journal =
      std::filesystem::path(::getenv("XDG_CONFIG_HOME")) / ("journal" + std::to_string(++made));
  ::setenv("ZENOR9_JOURNAL", journal.c_str(), 1);
  return journal;
}

std::string TestDevice(int comNumber) {
  return "/nonexistent/zenor9-test-COM" + std::to_string(comNumber);
}

// tbRead and tbWrite are enabled in the layout: FormCreate disables them.
FakeMainWindow::FakeMainWindow(Handlers& handlers)
    : FakeControls<MainWindowView>(handlers, {{Control::ToolBar, {}},
                                              {Control::tbConnect, {}},
                                              {Control::tbRead, {}},
                                              {Control::tbWrite, {}},
                                              {Control::tbExit, {}},
                                              {Control::PanelStatus, {}},
                                              {Control::NetNumSpinEdit, {"0", false, false}},
                                              {Control::AutoDetectCheckBox, {"", true}},
                                              {Control::UseCheckBox, {"", true}},
                                              {Control::VelmorSpinEdit, {"20"}}}) {}

FakeSetupDialog::FakeSetupDialog(Handlers& handlers)
    : FakeControls<SetupDialogView>(handlers, {{Control::Button1, {}},
                                               {Control::Button3, {}},
                                               {Control::RadioButton1, {"", true}},
                                               {Control::RadioButton2, {}},
                                               {Control::RadioButton3, {}},
                                               {Control::RadioButton4, {}}}) {}

void FakeSetupDialog::RunModal() {
  visible = true;
  handlers_.Activated(Window::Init_Com);
  if (script) script();
  if (visible) Press(Control::Button3);
  visible = false;
}

void FakeSetupDialog::EndModal() {
  endsOutsideARun += visible ? 0 : 1;
  visible = false;
}

void FakeApplication::ShowMessageBox(const std::string& text, const std::string& caption,
                                     unsigned flags) {
  boxes.push_back({text, caption, flags, main->Text(Control::PanelStatus), busy > 0,
                   main->Enabled(Control::tbRead) && main->Enabled(Control::tbWrite),
                   dialog->visible});
}

Bench::Bench(uint8_t netNumber) : reg(line.AddRegister(netNumber)) {
  state.channel.clock = &clock;
  state.channel.opener = emu::InProcessOpener(line, clock, {TestDevice(1)});
  app.main = &main;
  app.dialog = &dialog;
  line.SetObserver([this](const emu::WireByte& byte) {
    if (!byte.toRegister) return;
    bytesSentWithoutWaitCursor += app.busy == 0 ? 1 : 0;
    if (byte.parity == ParityMode::Mark && commandsToSilence_ > 0 && --commandsToSilence_ == 0) {
      reg.SetFault(emu::Fault::Silent);
    }
  });
  handlers.Created(static_cast<MainWindowView&>(main));
  handlers.Created(static_cast<SetupDialogView&>(dialog));
}

Bench::~Bench() {
  line.SetObserver(nullptr);
  handlers.Destroyed(static_cast<SetupDialogView&>(dialog));
  handlers.Destroyed(static_cast<MainWindowView&>(main));
}

void Bench::Connect(std::function<void()> inDialog) {
  dialog.script = std::move(inDialog);
  main.Press(Control::tbConnect);
}

bool Bench::ConnectOk() {
  const std::size_t boxesBefore = app.boxes.size();
  Connect([this] { dialog.Press(Control::Button1); });
  return state.connected == 1 && app.boxes.size() == boxesBefore;
}

int Bench::CommandsSent() const {
  int commands = 0;
  for (const emu::WireByte& byte : line.Log()) {
    commands += byte.toRegister && byte.parity == ParityMode::Mark ? 1 : 0;
  }
  return commands;
}

}  // namespace zenor9::test
