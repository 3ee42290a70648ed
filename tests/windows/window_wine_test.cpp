// zenor9-prefix.exe under Wine, driven as a person drives it: real X clicks at
// the layouts' positions and typed keys, on Xvfb with openbox and with no window
// manager at all, against emulated registers on a pseudo-terminal that the Wine
// prefix sees as COM1. The outcome is read from the register and from the
// windows themselves (window_inspector.exe); each step leaves a screenshot in
// the build folder (window-tests/).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>

#include "desktop.h"
#include "emulator/line.h"
#include "emulator/pty_host.h"
#include "win32/layout.h"

namespace zenor9 {
namespace {

using testing::Desktop;
using testing::WindowState;
using namespace win32;  // the controls' identifiers

constexpr const char* kMainTitle = "ККМ ЗЕНОР-9 Префикс локального ШК";
constexpr const char* kDialogTitle = "Настройка последовательного интерфейса";

// Where a person clicks, in client coordinates at 96 dpi: the middle of each
// tool button, the check boxes' squares, inside the fields, the buttons.
struct Point {
  int x;
  int y;
};
constexpr Point kAtConnect{20, 20};
constexpr Point kAtRead{67, 20};
constexpr Point kAtWrite{106, 20};
constexpr Point kAtExit{153, 20};
constexpr Point kAtAutoDetectBox{15, 85};
constexpr Point kAtUseBox{15, 107};
constexpr Point kAtNetNumField{20, 61};
constexpr Point kAtPrefixField{20, 145};
constexpr Point kAtButton1{120, 60};
constexpr Point kAtButton3{232, 60};
constexpr Point kAtCom2{103, 24};

// Icons of the message boxes, told apart by their colour: the error icon is
// red, the warning icon yellow, the information icon blue.
enum class Icon { Error, Warning, Information, Unknown };

Icon IconOfColour(const std::string& colour) {
  int r = 0;
  int g = 0;
  int b = 0;
  if (std::sscanf(colour.c_str(), "%d,%d,%d", &r, &g, &b) != 3) return Icon::Unknown;
  if (b > r + 20 && b > g) return Icon::Information;
  if (r > b + 40 && g > b + 40) return Icon::Warning;
  if (r > g + 40 && r > b + 40) return Icon::Error;
  return Icon::Unknown;
}

class WindowTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    desktop_ =
        std::make_unique<Desktop>(GetParam(), (std::filesystem::current_path() / "window-tests" /
                                               (GetParam() ? "openbox" : "no-window-manager") /
                                               name.substr(0, name.find('/')))
                                                  .string());
    ASSERT_EQ(desktop_->Problem(), "");
    ASSERT_EQ(wine_.UnsafePorts(), "");
  }

  void TearDown() override {
    if (program_ > 0) desktop_->WaitForProgramEnd(program_, 1);
    if (host_) host_->Stop();
    desktop_.reset();
  }

  // Registers on a pseudo-terminal that COM1 stands for.
  void ServeOnCom1() {
    host_ = std::make_unique<emu::PtyHost>(line_);
    ASSERT_TRUE(host_->Start());
    ASSERT_TRUE(wine_.Point(1, host_->DevicePath()));
  }

  WindowState Start() {
    program_ = desktop_->StartProgram();
    EXPECT_GT(program_, 0);
    auto main = desktop_->WaitFor(kMainTitle);
    EXPECT_TRUE(main) << "the main window did not come up";
    return main.value_or(WindowState{});
  }

  void Click(const WindowState& window, Point point) { desktop_->Click(window, point.x, point.y); }

  // The window titled `title` once control `id` shows `text`.
  WindowState Showing(const std::string& title, int id, const std::string& text) {
    auto window = desktop_->WaitUntil(
        title, [&](const WindowState& w) { return w.Has(id) && w.Control(id).text == text; });
    EXPECT_TRUE(window) << "\"" << title << "\" never showed \"" << text << "\" in control " << id;
    return window.value_or(WindowState{});
  }

  // A message box, in front of every other window of the program with the
  // focus on its button: its text and icon; the box is dismissed with Enter.
  void ExpectBox(const std::string& caption, const std::string& text, Icon icon,
                 const std::string& shot) {
    SCOPED_TRACE(caption + ": " + text);
    auto box = desktop_->WaitFor(caption);
    ASSERT_TRUE(box) << "no message box";
    EXPECT_TRUE(box->foreground);
    bool hasText = false;
    const testing::ControlState* iconControl = nullptr;
    for (const auto& control : box->controls) {
      hasText = hasText || control.text == text;
      if (control.className == "Static" && control.text.empty() && control.rect.width <= 48) {
        iconControl = &control;
      }
    }
    EXPECT_TRUE(hasText);
    EXPECT_NE(box->focus, 0) << "the box's button should have the focus";
    for (const WindowState& other : desktop_->Windows()) {
      if (other.title == kMainTitle || other.title == kDialogTitle) {
        EXPECT_FALSE(other.enabled) << other.title << " should be disabled under the box";
        EXPECT_FALSE(other.foreground);
      }
    }
    desktop_->Shot(shot);
    ASSERT_NE(iconControl, nullptr);
    const testing::Box iconArea{box->client.x + iconControl->rect.x,
                                box->client.y + iconControl->rect.y, iconControl->rect.width,
                                iconControl->rect.height};
    EXPECT_EQ(IconOfColour(desktop_->MeanColour(iconArea)), icon) << desktop_->MeanColour(iconArea);
    desktop_->Key(*box, "Return");
    EXPECT_TRUE(desktop_->WaitGone(caption));
  }

  // The set-up dialog, shown by tbConnect: on top with the focus, the main
  // window disabled under it.
  WindowState OpenDialog(const WindowState& main) {
    Click(main, kAtConnect);
    auto dialog = desktop_->WaitFor(kDialogTitle);
    EXPECT_TRUE(dialog) << "no set-up dialog";
    if (!dialog) return {};
    EXPECT_TRUE(dialog->foreground);
    EXPECT_EQ(dialog->focus, kButton1);
    EXPECT_EQ(dialog->client.width, 340);
    EXPECT_EQ(dialog->client.height, 83);
    for (const WindowState& other : desktop_->Windows()) {
      if (other.title == kMainTitle) {
        EXPECT_FALSE(other.enabled);
      }
    }
    return *dialog;
  }

  WindowState Connect(const WindowState& main) {
    const WindowState dialog = OpenDialog(main);
    Click(dialog, kAtButton1);
    EXPECT_TRUE(desktop_->WaitGone(kDialogTitle));
    return Showing(kMainTitle, kPanelStatus, "Установлен интерфейс с ККМ");
  }

  // Replaces the text of the field at `field` by typing.
  void TypeInto(const WindowState& window, Point field, const std::string& text) {
    Click(window, field);
    desktop_->Key(window, "End BackSpace BackSpace BackSpace BackSpace");
    desktop_->Type(window, text);
  }

  void ExpectProgramEnded() {
    EXPECT_TRUE(desktop_->WaitGone(kMainTitle));
    EXPECT_EQ(desktop_->WaitForProgramEnd(program_, 30000), 0);
    program_ = -1;
  }

  std::unique_ptr<Desktop> desktop_;
  testing::Wine wine_;
  emu::Line line_;
  std::unique_ptr<emu::PtyHost> host_;
  pid_t program_ = -1;
};

TEST_P(WindowTest, SetUpWithDetectionReadsAndWritesThenTbExitEndsTheProgram) {
  emu::Register& reg = line_.AddRegister(7);
  reg.SetPrefix("25");
  ServeOnCom1();
  WindowState main = Start();
  EXPECT_EQ(main.client.width, 423);
  EXPECT_EQ(main.client.height, 225);
  EXPECT_TRUE(main.foreground);
  EXPECT_EQ(main.focus, kVelmorSpinEdit);
  EXPECT_EQ(main.Control(kVelmorSpinEdit).text, "20");
  EXPECT_EQ(main.Control(kNetNumSpinEdit).text, "0");
  EXPECT_FALSE(main.Control(kNetNumSpinEdit).enabled);
  EXPECT_EQ(main.Control(kAutoDetectCheckBox).checked, "1");
  EXPECT_EQ(main.Control(kUseCheckBox).checked, "1");
  EXPECT_EQ(main.Control(kPanelStatus).text, "");
  EXPECT_EQ(main.toolButtons,
            (std::map<int, bool>{
                {kTbConnect, true}, {kTbRead, false}, {kTbWrite, false}, {kTbExit, true}}));
  desktop_->Shot("main-window");
  // Tab goes through the fields in the layout's order, past the disabled net
  // number field, and back.
  for (int expected : {kUseCheckBox, kAutoDetectCheckBox, kVelmorSpinEdit}) {
    desktop_->Key(main, "Tab");
    main =
        desktop_->WaitUntil(kMainTitle, [&](const WindowState& w) { return w.focus == expected; })
            .value_or(main);
    EXPECT_EQ(main.focus, expected);
  }

  // Hints: a tool button's, and what a radio button's COM port stands for.
  desktop_->Hover(main, kAtConnect.x, kAtConnect.y);
  EXPECT_EQ(desktop_->WaitForToolTip("Уст"), "Установка интерфейса с ККМ");
  const WindowState dialog = OpenDialog(main);
  desktop_->Hover(dialog, kAtCom2.x, kAtCom2.y);
  EXPECT_NE(desktop_->WaitForToolTip(R"(COM2: \\.\COM2)"), "");
  desktop_->Shot("set-up-dialog");
  Click(dialog, kAtButton1);
  EXPECT_TRUE(desktop_->WaitGone(kDialogTitle));
  main = Showing(kMainTitle, kPanelStatus, "Установлен интерфейс с ККМ");
  EXPECT_TRUE(main.enabled);
  EXPECT_TRUE(main.foreground);
  EXPECT_EQ(main.Control(kNetNumSpinEdit).text, "7");
  EXPECT_TRUE(main.toolButtons[kTbRead] && main.toolButtons[kTbWrite]);

  Click(main, kAtRead);
  main = Showing(kMainTitle, kPanelStatus, "Чтение завершено");
  EXPECT_EQ(main.Control(kVelmorSpinEdit).text, "25");
  desktop_->Shot("read-25");

  TypeInto(main, kAtPrefixField, "27");
  Click(main, kAtWrite);
  ExpectBox("Запись префикса локального ШК", "Операция успешно завершена", Icon::Information,
            "write-27-box");
  main = Showing(kMainTitle, kPanelStatus, "Запись завершена");
  EXPECT_EQ(reg.Prefix(), "27");
  EXPECT_EQ(main.focus, kVelmorSpinEdit) << "the focus comes back to the field";

  Click(main, kAtUseBox);
  main = desktop_
             ->WaitUntil(kMainTitle,
                         [](const WindowState& w) { return !w.Control(kVelmorSpinEdit).enabled; })
             .value_or(main);
  EXPECT_EQ(main.Control(kVelmorSpinEdit).text, "20");
  Click(main, kAtWrite);
  ExpectBox("Запись префикса локального ШК", "Операция успешно завершена", Icon::Information,
            "write-off-box");
  EXPECT_EQ(reg.Prefix(), "off");

  Click(main, kAtUseBox);  // checked again: the read must uncheck it
  Showing(kMainTitle, kPanelStatus, "Запись завершена");
  Click(main, kAtRead);
  main = desktop_
             ->WaitUntil(kMainTitle,
                         [](const WindowState& w) {
                           return w.Control(kPanelStatus).text == "Чтение завершено" &&
                                  w.Control(kUseCheckBox).checked == "0";
                         })
             .value_or(main);
  EXPECT_FALSE(main.Control(kVelmorSpinEdit).enabled);
  desktop_->Shot("read-off");

  Click(main, kAtExit);
  ExpectProgramEnded();
}

TEST_P(WindowTest, TypedNetNumberMeetsOldFirmwareThenTheCloseBoxEndsTheProgram) {
  line_.AddRegister(12, 0x01, 0x04);
  ServeOnCom1();
  WindowState main = Start();
  Click(main, kAtAutoDetectBox);
  main = desktop_
             ->WaitUntil(kMainTitle,
                         [](const WindowState& w) { return w.Control(kNetNumSpinEdit).enabled; })
             .value_or(main);
  TypeInto(main, kAtNetNumField, "12");
  main = Showing(kMainTitle, kNetNumSpinEdit, "12");
  line_.ClearLog();

  // Neither button is the default: Escape leaves the dialog open, and Enter
  // clicks the button that has the focus ("Установить интерфейс").
  const WindowState dialog = OpenDialog(main);
  desktop_->Key(dialog, "Escape");
  desktop_->Key(dialog, "Return");
  ExpectBox("Предупреждение", "В ККМ необходимо установить ПО версии не ниже 1.0.5", Icon::Warning,
            "firmware-104-box");
  // No scan: the only address byte sent is net number 12's.
  std::set<uint8_t> addressed;
  for (const emu::WireByte& byte : line_.Log()) {
    if (byte.toRegister && byte.parity == ParityMode::Mark) addressed.insert(byte.value);
  }
  EXPECT_EQ(addressed, std::set<uint8_t>{0xED});
  auto stillOpen = desktop_->WaitFor(kDialogTitle);
  ASSERT_TRUE(stillOpen);
  EXPECT_TRUE(stillOpen->foreground);
  desktop_->Shot("dialog-still-open");
  Click(*stillOpen, kAtButton3);
  EXPECT_TRUE(desktop_->WaitGone(kDialogTitle));
  main = Showing(kMainTitle, kPanelStatus, "Нет связи с ККМ");
  EXPECT_FALSE(main.toolButtons[kTbRead]);

  // With no window manager no one draws a title bar under Wine, so there is
  // no close box to click; Alt+F4 takes its road there.
  if (desktop_->WindowManager()) {
    desktop_->ClickCloseBox(main);
  } else {
    desktop_->Key(main, "alt+F4");
  }
  ExpectProgramEnded();
}

TEST_P(WindowTest, NoRegisterAndAPortThatCannotOpenThenAltF4EndsTheProgram) {
  ServeOnCom1();  // a line with no register on it
  ASSERT_TRUE(wine_.Point(2, "/nonexistent/zenor9-adapter"));
  WindowState main = Start();
  WindowState dialog = OpenDialog(main);
  Click(dialog, kAtButton1);
  ExpectBox("Ошибка", "Нет связи с ККМ", Icon::Error, "no-register-box");
  Click(dialog, kAtCom2);
  dialog =
      desktop_
          ->WaitUntil(kDialogTitle,
                      [](const WindowState& w) { return w.Control(kRadioButton2).checked == "1"; })
          .value_or(dialog);
  EXPECT_EQ(dialog.Control(kRadioButton1).checked, "0");
  Click(dialog, kAtButton1);
  ExpectBox("Предупреждение", "Выбранный COM-порт недоступен", Icon::Warning, "port-missing-box");
  // Alt+F4 on the dialog acts as "Закрыть".
  desktop_->Key(dialog, "alt+F4");
  EXPECT_TRUE(desktop_->WaitGone(kDialogTitle));
  main = Showing(kMainTitle, kPanelStatus, "Нет связи с ККМ");
  EXPECT_TRUE(main.enabled);
  desktop_->Key(main, "alt+F4");
  ExpectProgramEnded();
}

TEST_P(WindowTest, RefusedPrefixSendsNothingAndAFailedSecondCellLeavesTheFirstWritten) {
  emu::Register& reg = line_.AddRegister(7);
  reg.SetPrefix("off");
  ServeOnCom1();
  WindowState main = Start();
  main = Connect(main);
  line_.ClearLog();
  TypeInto(main, kAtPrefixField, "35");
  Click(main, kAtWrite);
  ExpectBox("Запись префикса локального ШК", "Префикс должен быть числом от 20 до 29",
            Icon::Warning, "prefix-35-box");
  EXPECT_TRUE(line_.Log().empty());
  EXPECT_EQ(reg.Prefix(), "off");

  // The register falls silent at the second cell's address byte.
  int addressBytes = 0;
  line_.SetObserver([&](const emu::WireByte& byte) {
    if (byte.toRegister && byte.parity == ParityMode::Mark && ++addressBytes == 2) {
      reg.SetFault(emu::Fault::Silent);
    }
  });
  TypeInto(main, kAtPrefixField, "26");
  Click(main, kAtWrite);
  ExpectBox("Запись префикса локального ШК", "Не удается установить интерфейс с ККМ", Icon::Error,
            "second-cell-failed-box");
  main = Showing(kMainTitle, kPanelStatus, "Нет связи с ККМ");
  EXPECT_EQ(reg.ReadRam(emu::kEmulatedPrefixTensCell), '2');
  EXPECT_EQ(reg.ReadRam(emu::kEmulatedPrefixUnitsCell), 0xFF);
  EXPECT_TRUE(main.toolButtons[kTbRead] && main.toolButtons[kTbWrite]);
  line_.SetObserver(nullptr);
  Click(main, kAtExit);
  ExpectProgramEnded();
}

// At 144 dpi (Wine's LogPixels) every position and size grows by half: the
// client areas, each control inside its window, and the clicks land where the
// scaled layout puts the controls.
TEST_P(WindowTest, At144DpiTheLayoutIsScaledNotClipped) {
  ASSERT_TRUE(desktop_->SetDpi(144));
  constexpr double kScale = 1.5;
  WindowState main = Start();
  EXPECT_EQ(main.client.width, 635);  // 423 * 1.5, rounded
  EXPECT_EQ(main.client.height, 338);
  const testing::Box client{0, 0, main.client.width, main.client.height};
  for (const auto& control : main.controls) {
    EXPECT_TRUE(client.Contains(control.rect)) << "control " << control.id << " is clipped";
  }
  EXPECT_EQ(main.Control(kPanelStatus).rect.y, 269);  // 179 * 1.5
  EXPECT_EQ(main.Control(kPanelStatus).rect.height, 33);
  EXPECT_EQ(main.Control(kUseCheckBox).rect.width, 518);  // 345 * 1.5
  desktop_->Shot("main-window-144-dpi");

  desktop_->Click(main, kAtConnect.x, kAtConnect.y, kScale);
  auto dialog = desktop_->WaitFor(kDialogTitle);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(dialog->client.width, 510);
  EXPECT_EQ(dialog->client.height, 125);
  const testing::Box dialogClient{0, 0, dialog->client.width, dialog->client.height};
  for (const auto& control : dialog->controls) {
    EXPECT_TRUE(dialogClient.Contains(control.rect)) << "control " << control.id << " is clipped";
  }
  EXPECT_EQ(dialog->Control(kButton3).rect.x, 288);  // 192 * 1.5
  desktop_->Shot("set-up-dialog-144-dpi");
  desktop_->Click(*dialog, kAtButton3.x, kAtButton3.y, kScale);
  EXPECT_TRUE(desktop_->WaitGone(kDialogTitle));
  main = Showing(kMainTitle, kPanelStatus, "Нет связи с ККМ");
  desktop_->Click(main, kAtExit.x, kAtExit.y, kScale);
  ExpectProgramEnded();
}

INSTANTIATE_TEST_SUITE_P(Desktops, WindowTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Openbox" : "NoWindowManager";
                         });

}  // namespace
}  // namespace zenor9
