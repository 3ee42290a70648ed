#include "tests/app/app_fixture.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "emulator/inprocess_port.h"
#include "operations/port_choice.h"

namespace zenor9::test {

std::map<std::string, TestFactory>& TestRegistry() {
  static std::map<std::string, TestFactory> registry;
  return registry;
}

void RecordingMessages::ShowMessageBox(const std::string& text, const std::string& caption,
                                       unsigned flags) {
  shown.push_back({QString::fromStdString(text), QString::fromStdString(caption), flags,
                   status ? status() : QString(), QApplication::overrideCursor() != nullptr});
}

Program::Program(uint8_t netNumber, bool realChannel) : reg(&line.AddRegister(netNumber)) {
  if (!realChannel) {
    state.channel.clock = &clock;
    state.channel.opener = emu::InProcessOpener(line, clock, {ChooseComPort(1).Device()});
  }
  form = std::make_unique<TMainForm>(handlers);
  dialog = std::make_unique<TInit_Com>(handlers);
  messages.status = [this] { return Status(); };
  form->show();
  QApplication::setActiveWindow(form.get());
  windowActive = QTest::qWaitForWindowActive(form.get());
}

Program::~Program() {
  line.SetObserver(nullptr);
  dialog.reset();
  form.reset();
}

bool Program::ButtonsEnabled() const {
  return Tool("tbRead")->isEnabled() && Tool("tbWrite")->isEnabled();
}

bool Program::ButtonsDisabled() const {
  return !Tool("tbRead")->isEnabled() && !Tool("tbWrite")->isEnabled();
}

void Program::Click(QWidget* widget) const {
  QTest::mouseClick(widget, Qt::LeftButton);
}

void Program::Connect(const std::function<void()>& inDialog) {
  dialogWasModal = false;
  QTimer::singleShot(0, form.get(), [this, inDialog] {
    dialogWasModal = dialog->isVisible() && QApplication::activeModalWidget() == dialog.get();
    inDialog();
    if (dialog->isVisible()) Click(Find<QPushButton>("Button3"));
  });
  Click(Tool("tbConnect"));
}

void Program::PressSetUp() {
  Click(Find<QPushButton>("Button1"));
}

bool Program::ConnectOk() {
  Connect([this] { PressSetUp(); });
  return state.connected == 1 && messages.shown.empty();
}

void Program::SilenceFromCommand(int n) {
  auto count = std::make_shared<int>(0);
  line.SetObserver([this, count, n](const emu::WireByte& byte) {
    if (byte.toRegister && byte.parity == ParityMode::Mark && ++*count == n) {
      reg->SetFault(emu::Fault::Silent);
    }
  });
}

int Program::CommandsSent() const {
  int commands = 0;
  for (const emu::WireByte& byte : line.Log()) {
    if (byte.toRegister && byte.parity == ParityMode::Mark) ++commands;
  }
  return commands;
}

}  // namespace zenor9::test
