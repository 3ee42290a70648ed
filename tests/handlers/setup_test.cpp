// The interface set-up: each attempt's outcome, its box, and what the main
// window shows afterwards; the net number it uses; how an escaped error reads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "emulator/inprocess_port.h"
#include "emulator/pty_host.h"
#include "handlers/unhandled_error.h"
#include "link/net_number.h"
#include "portmap/com_map.h"
#include "tests/handlers/fake_views.h"

namespace zenor9::test {
namespace {

constexpr const char* kTitle = "ККМ ЗЕНОР-9 Префикс локального шрихового кода";

// How an escaped error's message is shown (the box itself: an error escaping
// the set-up attempt, below).
TEST(UnhandledErrorTest, ADotFollowsALetterOrDigit) {
  const std::pair<const char*, const char*> cases[] = {
      {"'-' is not a valid integer value", "'-' is not a valid integer value."},
      {"why?", "why?."},
      {"9", "9."},
      {"готово.", "готово."},
      {"wow!", "wow!"},
      {"(x)", "(x)"},
      {"", ""},
      {"ошибка", "ошибка."}};
  for (const auto& [message, shown] : cases) EXPECT_EQ(UnhandledErrorText(message), shown);
}

TEST(SetupTest, DetectionShowsTheNetNumberAndEnablesTheOperations) {
  Bench b(37);
  int repaintsBeforeTheDialog = -1;
  std::string tip;
  b.Connect([&] {
    repaintsBeforeTheDialog = b.main.controls[Control::ToolBar].repaints;
    tip = b.dialog.controls[Control::RadioButton2].toolTip;
    b.dialog.Press(Control::Button1);
  });
  EXPECT_TRUE(b.app.boxes.empty());
  EXPECT_EQ(repaintsBeforeTheDialog, 1);
  // A missing port: the command that maps an adapter to it, with its number.
  EXPECT_EQ(tip, "COM2: " + TestDevice(2) +
                     " (нет устройства)\nАдаптер на другом порту станет COM2 командой: "
                     "zenor9 ports --map COM2=/dev/ttyUSB0");
  EXPECT_EQ(b.dialog.endsOutsideARun, 0);
  EXPECT_EQ(b.Status(), "Установлен интерфейс с ККМ");
  EXPECT_TRUE(b.ButtonsEnabled());
  EXPECT_EQ(b.main.Text(Control::NetNumSpinEdit), "37");
  // Showing the number ran NetNumSpinEditChange, which coded the same byte back.
  EXPECT_EQ(b.state.addressByte, 0xC8);
  EXPECT_EQ(b.state.versionCode, 105);
  EXPECT_EQ(b.state.memoryMap.PrefixTensCell(), 11887);
  EXPECT_EQ(b.state.memoryMap.PrefixUnitsCell(), 11888);
  EXPECT_TRUE(b.state.channel.IsOpen());
  EXPECT_EQ(b.CommandsSent(), 38 + 1);  // the probes of 0 to 37, then identify
  EXPECT_EQ(b.bytesSentWithoutWaitCursor, 0);
  EXPECT_EQ(b.app.busy, 0);
}

struct FailedAttempt {
  const char* what;
  std::function<void(Bench&)> arrange;
  const char* text;
  const char* caption;
  unsigned flags;
  bool portOpen;
  int commands;
  uint8_t addressByte;
};

TEST(SetupTest, EachFailedAttemptShowsItsBoxAndLeavesTheDialogOpen) {
  const char* kNoLink = "Нет связи с ККМ";
  const char* kOld = "В ККМ необходимо установить ПО версии не ниже 1.0.5";
  const FailedAttempt attempts[] = {
      {"port that does not open",
       [](Bench& b) { b.dialog.SetChecked(Control::RadioButton3, true); },
       "Выбранный COM-порт недоступен", "Предупреждение", 0x30, false, 0, 0xFF},
      {"scan that finds nothing", [](Bench& b) { b.reg.SetFault(emu::Fault::Silent); }, kNoLink,
       "Ошибка", 0x10, true, 100, 0xFF},
      {"no detection, net number never touched: 0",
       [](Bench& b) { b.main.Toggle(Control::AutoDetectCheckBox); }, kNoLink, "Ошибка", 0x10, true,
       1, 0xFF},
      {"version 104", [](Bench& b) { b.reg.SetVersion(0x01, 0x04); }, kOld, "Предупреждение", 0x30,
       true, 4, 0xFD},
      {"version 106", [](Bench& b) { b.reg.SetVersion(0x01, 0x06); }, kOld, "Предупреждение", 0x30,
       true, 4, 0xFD},
      {"reply failing its sum test: no version, no link",
       [](Bench& b) { b.reg.SetFault(emu::Fault::BadReplyCheck); }, kNoLink, "Ошибка", 0x10, true,
       4, 0xFD},
  };
  for (const FailedAttempt& attempt : attempts) {
    SCOPED_TRACE(attempt.what);
    Bench b(2);
    attempt.arrange(b);
    b.Connect([&] { b.dialog.Press(Control::Button1); });
    ASSERT_EQ(b.app.boxes.size(), 1u);
    const ShownBox& box = b.app.boxes[0];
    EXPECT_EQ(box.text, attempt.text);
    EXPECT_EQ(box.caption, attempt.caption);
    EXPECT_EQ(box.flags, attempt.flags);
    EXPECT_TRUE(box.dialogOpen);
    EXPECT_FALSE(box.busy);
    EXPECT_EQ(box.status, "");
    EXPECT_EQ(b.state.channel.IsOpen(), attempt.portOpen);
    EXPECT_EQ(b.CommandsSent(), attempt.commands);
    EXPECT_EQ(b.state.connected, 0);
    EXPECT_EQ(b.state.addressByte, attempt.addressByte);
    EXPECT_EQ(b.state.memoryMap.PrefixTensCell(), 0);
    EXPECT_EQ(b.Status(), kNoLink);
    EXPECT_TRUE(b.ButtonsDisabled());
    if (attempt.commands > 0) {
      EXPECT_EQ(b.line.SentBytes().front(), 0xFF);
    }
  }
}

// Only "Закрыть" on its own keeps an earlier connection in use: any attempt
// closes its port first, and a failed one leaves no register to read or write.
TEST(SetupTest, AfterAnEarlierSuccessOnlyClosingKeepsTheOperationsEnabled) {
  Bench b(9);
  ASSERT_TRUE(b.ConnectOk());
  b.Connect([] {});
  EXPECT_EQ(b.state.connected, 0);
  EXPECT_EQ(b.Status(), "Нет связи с ККМ");
  EXPECT_TRUE(b.ButtonsEnabled());
  EXPECT_TRUE(b.state.channel.IsOpen());
  EXPECT_EQ(b.state.memoryMap.PrefixTensCell(), 11887);

  // A failed open closes the earlier port; the choice of COM4 stays for the
  // next run.
  bool com4Kept = false;
  b.Connect([&] {
    b.dialog.SetChecked(Control::RadioButton4, true);
    b.dialog.Press(Control::Button1);
  });
  b.Connect([&] { com4Kept = b.dialog.Checked(Control::RadioButton4); });
  EXPECT_TRUE(com4Kept);
  EXPECT_FALSE(b.state.channel.IsOpen());
  EXPECT_TRUE(b.ButtonsDisabled());

  // Two attempts in one run: the first fails, the second connects.
  b.Connect([&] {
    b.dialog.Press(Control::Button1);  // still COM4
    b.dialog.SetChecked(Control::RadioButton1, true);
    b.dialog.Press(Control::Button1);
  });
  EXPECT_EQ(b.app.boxes.size(), 2u);
  EXPECT_EQ(b.Status(), "Установлен интерфейс с ККМ");
  EXPECT_TRUE(b.ButtonsEnabled());
}

// Nets 1 (1.0.5), 2 (1.0.4) and 15 (1.0.5) on one line. Whatever the user does
// to the net number, no command reaches a register whose firmware the last
// successful set-up did not accept.
TEST(SetupTest, NoRegisterIsReadOrWrittenThatTheSetUpDidNotIdentify) {
  Bench b(1);
  b.line.AddRegister(2, 0x01, 0x04);
  emu::Register& net15 = b.line.AddRegister(15);
  net15.SetPrefix("23");
  ASSERT_TRUE(b.ConnectOk());
  EXPECT_EQ(b.main.Text(Control::NetNumSpinEdit), "1");
  b.main.Toggle(Control::AutoDetectCheckBox);
  EXPECT_TRUE(b.ButtonsEnabled());  // showing the same number changes nothing
  b.main.Type(Control::NetNumSpinEdit, "2");
  EXPECT_TRUE(b.ButtonsDisabled());
  b.main.Type(Control::NetNumSpinEdit, "1");
  EXPECT_TRUE(b.ButtonsDisabled());  // until a set-up says which register it is

  b.main.Type(Control::NetNumSpinEdit, "2");
  b.Connect([&] { b.dialog.Press(Control::Button1); });
  ASSERT_EQ(b.app.boxes.size(), 1u);
  EXPECT_EQ(b.app.boxes[0].text, "В ККМ необходимо установить ПО версии не ниже 1.0.5");
  EXPECT_TRUE(b.ButtonsDisabled());

  // 150 on its way to 15 is no net number: the set-up sends nothing for it.
  b.line.ClearLog();
  b.main.Type(Control::NetNumSpinEdit, "150");
  b.Connect([&] { b.dialog.Press(Control::Button1); });
  ASSERT_EQ(b.app.boxes.size(), 2u);
  EXPECT_EQ(b.app.boxes[1].text, "Сетевой номер ККМ должен быть числом от 0 до 99");
  EXPECT_EQ(b.app.boxes[1].caption, "Предупреждение");
  EXPECT_EQ(b.app.boxes[1].flags, 0x30u);
  EXPECT_TRUE(b.line.Log().empty());

  b.main.Type(Control::NetNumSpinEdit, "15");
  ASSERT_TRUE(b.ConnectOk());
  b.main.Press(Control::tbWrite);
  for (const emu::WireByte& byte : b.line.Log()) {
    if (byte.toRegister && byte.parity == ParityMode::Mark) {
      EXPECT_EQ(byte.value, AddressByteOfNetNumber(15));
    }
  }
  EXPECT_EQ(net15.Prefix(), "20");
}

TEST(NetNumberTest, TheBoxShowsTheNumberInUseAndSwitchesTheField) {
  Bench b(37);
  ASSERT_TRUE(b.ConnectOk());
  b.state.addressByte = AddressByteOfNetNumber(12);
  b.main.Toggle(Control::AutoDetectCheckBox);
  EXPECT_EQ(b.state.autoDetect, 0);
  EXPECT_TRUE(b.main.Enabled(Control::NetNumSpinEdit));
  EXPECT_EQ(b.main.Text(Control::NetNumSpinEdit), "12");
  b.main.Toggle(Control::AutoDetectCheckBox);
  EXPECT_EQ(b.state.autoDetect, 1);
  EXPECT_FALSE(b.main.Enabled(Control::NetNumSpinEdit));
  EXPECT_EQ(b.state.addressByte, AddressByteOfNetNumber(12));
}

// The handler sees the text as it is typed, before the field brings it into
// range; text that is no net number leaves the address byte alone.
TEST(NetNumberTest, TypedTextBecomesTheAddressByteTheSetUpUses) {
  Bench b(5);
  b.main.Toggle(Control::AutoDetectCheckBox);
  b.main.Type(Control::NetNumSpinEdit, "150");
  EXPECT_EQ(b.state.addressByte, kInitialAddressByte);
  b.main.Leave(Control::NetNumSpinEdit);
  EXPECT_EQ(b.main.Text(Control::NetNumSpinEdit), "99");
  EXPECT_EQ(b.state.addressByte, 0x66);
  for (const std::string& text : std::vector<std::string>{
           "", "+", "-", "2x5", " 25", "２５", "99999999999999999999", std::string(5000, '9')}) {
    b.main.Type(Control::NetNumSpinEdit, text);
    b.main.Leave(Control::NetNumSpinEdit);
    EXPECT_EQ(b.main.Text(Control::NetNumSpinEdit), text);
    EXPECT_EQ(b.state.addressByte, 0x66) << text.substr(0, 20);
  }
  EXPECT_TRUE(b.app.boxes.empty());
  b.main.Type(Control::NetNumSpinEdit, "5");
  ASSERT_TRUE(b.ConnectOk());
  // No scan: the first byte on the line is already the register's address.
  EXPECT_EQ(b.line.SentBytes().front(), AddressByteOfNetNumber(5));
  EXPECT_EQ(b.CommandsSent(), 1);
}

TEST(SetupTest, AnErrorEscapingTheAttemptIsShownAndTheDialogGoesOn) {
  Bench b;
  b.state.channel.opener = [](const std::string&, const StopCheck&) -> PortOpenResult {
    throw std::runtime_error("port table damaged");
  };
  b.Connect([&] { b.dialog.Press(Control::Button1); });
  ASSERT_EQ(b.app.boxes.size(), 1u);
  EXPECT_EQ(b.app.boxes[0].text, "port table damaged.");
  EXPECT_EQ(b.app.boxes[0].caption, kTitle);
  EXPECT_EQ(b.app.boxes[0].flags, 0x10u);
  EXPECT_TRUE(b.app.boxes[0].dialogOpen);
  EXPECT_FALSE(b.app.boxes[0].busy);  // the wait cursor ends with the handler
  EXPECT_EQ(b.Status(), "Нет связи с ККМ");
}

// Over the real serial backend, COM1 being the emulator's pseudo-terminal. The
// holder's lock is on an open file of its own, as another process's would be.
TEST(SetupTest, APortHeldElsewhereIsUnavailableUntilReleased) {
  Bench b(7);
  b.state.channel.clock = &SystemClock::Instance();
  b.state.channel.opener = OpenPlatformPort;
  emu::PtyHost host(b.line);
  ASSERT_TRUE(host.Start());
  ::setenv("ZENOR9_COM1", host.DevicePath().c_str(), 1);
  SerialChannel holder;
  ASSERT_TRUE(OpenChannelDevice(host.DevicePath(), holder));

  b.Connect([&] { b.dialog.Press(Control::Button1); });
  ASSERT_EQ(b.app.boxes.size(), 1u);
  EXPECT_EQ(b.app.boxes[0].text, "Выбранный COM-порт недоступен");
  EXPECT_EQ(b.app.boxes[0].flags, 0x30u);
  EXPECT_FALSE(b.state.channel.IsOpen());
  EXPECT_EQ(b.Status(), "Нет связи с ККМ");
  EXPECT_TRUE(b.ButtonsDisabled());
  EXPECT_TRUE(b.line.Log().empty());

  CloseChannel(holder);
  EXPECT_TRUE(b.ConnectOk());
  EXPECT_EQ(b.main.Text(Control::NetNumSpinEdit), "7");
  CloseChannel(b.state.channel);  // the port goes before its host does
  ::setenv("ZENOR9_COM1", TestDevice(1).c_str(), 1);
  host.Stop();
}

// A COM map that exists but cannot be read (here a folder) gives COM1 no
// device: nothing is opened, and the tool tip says why. COM1's default device
// leads to the register here (an emulator's name, never opened as a file), so
// a map read as empty would have connected.
TEST(SetupTest, AMapThatCannotBeReadOpensNoPort) {
  Bench b(7);
  b.state.channel.opener = emu::InProcessOpener(b.line, b.clock, {DefaultComDevice(1)});
  ::unsetenv("ZENOR9_COM1");
  std::filesystem::create_directories(portmap::MapFilePath());
  std::string tip;
  b.Connect([&] {
    tip = b.dialog.controls[Control::RadioButton1].toolTip;
    b.dialog.Press(Control::Button1);
  });
  std::filesystem::remove_all(portmap::MapFilePath());
  ::setenv("ZENOR9_COM1", TestDevice(1).c_str(), 1);
  EXPECT_EQ(
      tip, "COM1: карта COM-портов " + portmap::MapFilePath().string() + " не читается: это папка");
  ASSERT_EQ(b.app.boxes.size(), 1u);
  EXPECT_EQ(b.app.boxes[0].text, "Выбранный COM-порт недоступен");
  EXPECT_EQ(b.state.connected, 0);
  EXPECT_TRUE(b.line.Log().empty());
}

}  // namespace
}  // namespace zenor9::test
