// zenor9-prefix.exe under Wine, driven as a person drives it: real X clicks at
// the layouts' positions and typed keys, on Xvfb with openbox
// (ZENOR9_EXPECT_WINDOW_MANAGER set) or with no window manager at all, against
// emulated registers on a pseudo-terminal that the Wine prefix sees as COM1.
// The outcome is read from the register and from the windows themselves
// (window_inspector.exe); each step leaves a screenshot in the build folder
// (window-tests/).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>

#include "../cli/remote_line_support.h"
#include "desktop.h"
#include "emulator/line.h"
#include "emulator/pty_host.h"
#include "forms/forms.h"
#include "win32/control_ids.h"

namespace zenor9 {
namespace {

using testing::Desktop;
using testing::WindowState;
using win32::IdOf;
using win32::kSpinButtonIdOffset;

// The controls' identifiers, as the program numbers them.
const int kTbConnect = IdOf("tbConnect");
const int kTbRead = IdOf("tbRead");
const int kTbWrite = IdOf("tbWrite");
const int kTbExit = IdOf("tbExit");
const int kPanelStatus = IdOf("PanelStatus");
const int kNetNumSpinEdit = IdOf("NetNumSpinEdit");
const int kAutoDetectCheckBox = IdOf("AutoDetectCheckBox");
const int kUseCheckBox = IdOf("UseCheckBox");
const int kVelmorSpinEdit = IdOf("VelmorSpinEdit");
const int kButton1 = IdOf("Button1");
const int kButton3 = IdOf("Button3");
const int kRadioButton1 = IdOf("RadioButton1");
const int kRadioButton2 = IdOf("RadioButton2");

constexpr const char* kMainTitle = "ККМ ЗЕНОР-9 Префикс локального ШК";
constexpr const char* kDialogTitle = "Настройка последовательного интерфейса";
constexpr const char* kWriteCaption = "Запись префикса локального ШК";
const bool kWindowManager = std::getenv("ZENOR9_EXPECT_WINDOW_MANAGER") != nullptr;

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
constexpr Point kAtCom3{183, 24};
// The spin buttons (15 by 21, at x 34): each half near the diagonal, where an
// up-down control's top and bottom halves would step the other way.
constexpr Point kAtPrefixUpHalf{36, 150};
constexpr Point kAtPrefixDownHalf{47, 143};
constexpr Point kAtNetNumUpHalf{36, 66};
constexpr Point kAtNetNumDownHalf{47, 59};

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

// The fonts the window tests link into the prefix from Debian's fonts-wine
// ("MS Sans Serif", Tahoma, Wine's bitmap faces), set aside while the object
// lives: the prefix is then as Debian's Wine makes it, where the dialog font
// stands in for "MS Sans Serif" with a face from the system's fontconfig.
class WithoutWineFonts {
 public:
  WithoutWineFonts() {
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix == nullptr) return;
    fonts_ = std::filesystem::path(prefix) / "drive_c" / "windows" / "Fonts";
    aside_ = std::filesystem::path(prefix) / "fonts-set-aside";
    std::filesystem::create_directories(aside_);
    for (const auto& entry : std::filesystem::directory_iterator(fonts_)) {
      if (entry.is_symlink() &&
          std::filesystem::read_symlink(entry.path()).string().rfind("/usr/share/wine/fonts/", 0) ==
              0) {
        std::filesystem::rename(entry.path(), aside_ / entry.path().filename());
        ++moved_;
      }
    }
  }
  ~WithoutWineFonts() {
    if (aside_.empty()) return;
    for (const auto& entry : std::filesystem::directory_iterator(aside_)) {
      std::filesystem::rename(entry.path(), fonts_ / entry.path().filename());
    }
    std::filesystem::remove(aside_);
  }
  WithoutWineFonts(const WithoutWineFonts&) = delete;
  WithoutWineFonts& operator=(const WithoutWineFonts&) = delete;

  int Moved() const { return moved_; }

 private:
  std::filesystem::path fonts_;
  std::filesystem::path aside_;
  int moved_ = 0;
};

// Where the inspector sees a control of `form`: its rectangle in the window's
// client area.
testing::Box Placed(const forms::Form& form, const forms::Control& control) {
  testing::Box box{control.rect.left, control.rect.top, control.rect.width, control.rect.height};
  for (const char* parent = control.parent; parent != nullptr;) {
    const forms::Control& holder = *forms::Find(form, parent);
    box.x += holder.rect.left;
    box.y += holder.rect.top;
    parent = holder.parent;
  }
  return box;
}

// The window class of each kind; a tool bar's buttons and dividers are none.
// clang-format off
const std::map<forms::Kind, std::string> kClasses{
    {forms::Kind::Panel, "Zenor9Panel"}, {forms::Kind::ToolBar, "ToolbarWindow32"},
    {forms::Kind::SpinEdit, "Edit"}, {forms::Kind::Label, "Static"},
    {forms::Kind::ShadowLabel, "Zenor9ShadowLabel"}, {forms::Kind::CheckBox, "Button"},
    {forms::Kind::RadioButton, "Button"}, {forms::Kind::PushButton, "Button"}};
// clang-format on

// A text as the inspector writes it: line breaks as "\n".
std::string Inspected(std::string text) {
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "\\n");
  return text;
}

// Every control of `form` in `window` with its class, text, state and place;
// a tool button in its tool bar with its state.
void ExpectDrawnAsDescribed(const WindowState& window, const forms::Form& form) {
  EXPECT_EQ(window.title, form.caption);
  EXPECT_EQ(window.client.width, form.clientWidth);
  EXPECT_EQ(window.client.height, form.clientHeight);
  for (const forms::Control& item : form.controls) {
    SCOPED_TRACE(item.name);
    const int id = IdOf(item.name);
    if (item.kind == forms::Kind::ToolButton) {
      EXPECT_TRUE(window.toolButtons.contains(id) && window.toolButtons.at(id) == item.enabled);
    }
    if (!kClasses.contains(item.kind)) continue;
    const testing::ControlState& control = window.Control(id);
    ASSERT_EQ(control.id, id);
    EXPECT_EQ(control.className, kClasses.at(item.kind));
    EXPECT_EQ(control.text, Inspected(item.text));
    EXPECT_EQ(control.enabled, item.enabled);
    EXPECT_EQ(control.checked == "1", item.checked);
    const testing::Box want = Placed(form, item);
    EXPECT_EQ(control.rect.x, want.x);
    EXPECT_EQ(control.rect.y, want.y);
    if (item.kind == forms::Kind::ShadowLabel) continue;  // it takes the size of its text
    EXPECT_EQ(control.rect.height, want.height);
    // A spin edit's rectangle holds its edit, then its spin button.
    const testing::Box& last = item.kind == forms::Kind::SpinEdit
                                   ? window.Control(id + kSpinButtonIdOffset).rect
                                   : control.rect;
    EXPECT_EQ(last.x + last.width, want.x + want.width);
  }
}

// A tool tip's text without the no-break spaces (U+00A0) the program may pad
// its lines with.
std::string Unpadded(std::string text) {
  for (std::size_t at; (at = text.find("\u00A0")) != std::string::npos;) text.erase(at, 2);
  return text;
}

// COMn mapped in this Windows user's COM map (zenor9.exe ports --map) while
// the object lives.
class Mapped {
 public:
  Mapped(const testing::Wine& wine, int number, const std::string& device)
      : wine_(wine), com_("COM" + std::to_string(number)) {
    mapped_ = wine_.Run({"ports", "--map", com_ + "=" + device}).exitCode == 0;
  }
  ~Mapped() { wine_.Run({"ports", "--unmap", com_}); }
  Mapped(const Mapped&) = delete;
  Mapped& operator=(const Mapped&) = delete;

  bool Done() const { return mapped_; }

 private:
  const testing::Wine& wine_;
  std::string com_;
  bool mapped_ = false;
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop_ =
        std::make_unique<Desktop>((std::filesystem::current_path() / "window-tests" /
                                   (kWindowManager ? "openbox" : "no-window-manager") /
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name())
                                      .string());
    ASSERT_EQ(desktop_->Problem(), "");
    ASSERT_EQ(wine_.UnsafePorts(), "");
  }

  void TearDown() override {
    if (program_ > 0) testing::Wine::WaitForEnd(program_, 1);
    if (host_) host_->Stop();
    desktop_.reset();
  }

  // Registers on a pseudo-terminal that COM1 stands for.
  void ServeOnCom1() {
    host_ = std::make_unique<emu::PtyHost>(line_);
    ASSERT_TRUE(host_->Start());
    ASSERT_TRUE(wine_.Point(1, host_->DevicePath()));
  }

  // Starts the program: its main window comes up in front.
  WindowState Start() {
    program_ = desktop_->StartProgram();
    EXPECT_GT(program_, 0);
    return Await(kMainTitle, "came up in front", [](const WindowState& w) { return w.foreground; });
  }

  // The window titled `title` once `condition` holds for it (by default, once
  // it is there); `what` names the wait when it fails.
  WindowState Await(
      const std::string& title, const std::string& what,
      const std::function<bool(const WindowState&)>& condition = [](const WindowState&) {
        return true;
      }) {
    auto window =
        desktop_->WaitFor([&](const WindowState& w) { return w.title == title && condition(w); });
    EXPECT_TRUE(window) << "\"" << title << "\": never " << what;
    return window.value_or(WindowState{});
  }

  // The window titled `title` once control `id` shows `text`.
  WindowState Showing(const std::string& title, int id, const std::string& text) {
    return Await(title, "showed \"" + text + "\"",
                 [&](const WindowState& w) { return w.Control(id).text == text; });
  }

  void Click(const WindowState& window, Point point) { desktop_->Click(window, point.x, point.y); }

  // A message box in front of every other window of the program, which are
  // disabled under it, with the focus on its button: its text and icon. The
  // box is dismissed with Enter.
  void ExpectBox(const std::string& caption, const std::string& text, Icon icon,
                 const std::string& shot) {
    SCOPED_TRACE(caption + ": " + text);
    const WindowState box =
        Await(caption, "came up in front with the focus on its button",
              [](const WindowState& w) { return w.foreground && w.focus != 0; });
    bool hasText = false;
    testing::Box iconArea;
    for (const auto& control : box.controls) {
      hasText = hasText || control.text == text;
      if (control.className == "Static" && control.text.empty() && control.rect.width <= 48) {
        iconArea = {box.client.x + control.rect.x, box.client.y + control.rect.y,
                    control.rect.width, control.rect.height};
      }
    }
    EXPECT_TRUE(hasText);
    for (const WindowState& other : desktop_->Windows()) {
      if (other.title == kMainTitle || other.title == kDialogTitle) {
        EXPECT_FALSE(other.enabled || other.foreground) << other.title << " under the box";
      }
    }
    desktop_->Shot(shot);
    EXPECT_EQ(IconOfColour(desktop_->MeanColour(iconArea)), icon) << desktop_->MeanColour(iconArea);
    desktop_->Key(box, "Return");
    EXPECT_TRUE(desktop_->WaitGone(caption));
  }

  // The set-up dialog, shown by tbConnect: on top with the focus on Button1,
  // its client area 340 by 83, the main window disabled under it.
  WindowState OpenDialog(const WindowState& main) {
    Click(main, kAtConnect);
    const WindowState dialog =
        Await(kDialogTitle, "came up in front with the focus on Button1",
              [](const WindowState& w) { return w.foreground && w.focus == kButton1; });
    EXPECT_EQ(dialog.client.width, 340);
    EXPECT_EQ(dialog.client.height, 83);
    for (const WindowState& other : desktop_->Windows()) {
      EXPECT_FALSE(other.title == kMainTitle && other.enabled) << "the main window under it";
    }
    return dialog;
  }

  // Replaces the text of the field at `field` by typing.
  void TypeInto(const WindowState& window, Point field, const std::string& text) {
    Click(window, field);
    desktop_->Key(window, "End BackSpace BackSpace BackSpace BackSpace");
    desktop_->Type(window, text);
  }

  // The number in control `id` once it stands still longer than a repeat.
  int SettledNumber(int id) {
    std::string last;
    auto since = std::chrono::steady_clock::now();
    Await(kMainTitle, "held its text still", [&](const WindowState& w) {
      if (w.Control(id).text != last) since = std::chrono::steady_clock::now();
      last = w.Control(id).text;
      return std::chrono::steady_clock::now() - since > std::chrono::milliseconds(250);
    });
    return std::atoi(last.c_str());
  }

  // Tab from the first tab stop goes round the window's enabled tab stops in
  // tab order and back to it.
  void ExpectTabGoesRound(WindowState window, const forms::Form& form) {
    std::vector<int> stops;
    for (const forms::Control* item : forms::InTabOrder(form)) {
      const int id = IdOf(item->name);
      if (item->tabStop && window.Control(id).enabled) stops.push_back(id);
    }
    ASSERT_FALSE(stops.empty());
    EXPECT_EQ(window.focus, stops.front());
    for (std::size_t step = 1; step <= stops.size(); ++step) {
      const int next = stops[step % stops.size()];
      desktop_->Key(window, "Tab");
      window = Await(window.title, "moved the focus to " + std::to_string(next),
                     [&](const WindowState& w) { return w.focus == next; });
    }
  }

  void ExpectProgramEnded() {
    EXPECT_TRUE(desktop_->WaitGone(kMainTitle));
    EXPECT_EQ(testing::Wine::WaitForEnd(program_, 30000), 0);
    program_ = -1;
  }

  std::unique_ptr<Desktop> desktop_;
  testing::Wine wine_;
  emu::Line line_;
  std::unique_ptr<emu::PtyHost> host_;
  pid_t program_ = -1;
};

TEST_F(WindowTest, SetUpWithDetectionReadsWritesRefusesLosesACellThenTbExitEndsTheProgram) {
  emu::Register& reg = line_.AddRegister(7);
  reg.SetPrefix("25");
  ServeOnCom1();
  WindowState main = Start();
  EXPECT_EQ(main.client.width, 423);
  EXPECT_EQ(main.client.height, 225);
  EXPECT_EQ(main.focus, kVelmorSpinEdit);
  EXPECT_EQ(main.Control(kVelmorSpinEdit).text, "20");
  EXPECT_EQ(main.Control(kNetNumSpinEdit).text, "0");
  EXPECT_FALSE(main.Control(kNetNumSpinEdit).enabled);
  EXPECT_EQ(main.Control(kAutoDetectCheckBox).checked, "1");
  EXPECT_EQ(main.Control(kUseCheckBox).checked, "1");
  EXPECT_EQ(main.toolButtons,
            (std::map<int, bool>{
                {kTbConnect, true}, {kTbRead, false}, {kTbWrite, false}, {kTbExit, true}}));
  desktop_->Shot("main-window");
  // Tab goes through the fields in the layout's order, past the disabled net
  // number field, and back.
  for (int expected : {kUseCheckBox, kAutoDetectCheckBox, kVelmorSpinEdit}) {
    desktop_->Key(main, "Tab");
    main = Await(kMainTitle, "moved the focus to " + std::to_string(expected),
                 [&](const WindowState& w) { return w.focus == expected; });
  }

  // Hints: a tool button's, and what a radio button's COM port stands for.
  // Tooltips answer WM_GETTEXT with the text they show.
  const auto toolTip = [&](const std::string& start) {
    return desktop_->WaitFor([&](const WindowState& w) {
      return w.className == "tooltips_class32" && w.title.rfind(start, 0) == 0;
    });
  };
  desktop_->Hover(main, kAtConnect.x, kAtConnect.y);
  EXPECT_TRUE(toolTip("Установка интерфейса с ККМ"));
  const WindowState dialog = OpenDialog(main);
  desktop_->Hover(dialog, kAtCom2.x, kAtCom2.y);
  EXPECT_TRUE(toolTip(R"(COM2: \\.\COM2)"));
  desktop_->Shot("set-up-dialog");
  Click(dialog, kAtButton1);
  EXPECT_TRUE(desktop_->WaitGone(kDialogTitle));
  main = Await(kMainTitle, "connected, enabled and in front", [](const WindowState& w) {
    return w.Control(kPanelStatus).text == "Установлен интерфейс с ККМ" && w.enabled &&
           w.foreground;
  });
  EXPECT_EQ(main.Control(kNetNumSpinEdit).text, "7");
  EXPECT_TRUE(main.toolButtons[kTbRead] && main.toolButtons[kTbWrite]);

  Click(main, kAtRead);
  main = Showing(kMainTitle, kPanelStatus, "Чтение завершено");
  EXPECT_EQ(main.Control(kVelmorSpinEdit).text, "25");
  desktop_->Shot("read-25");

  TypeInto(main, kAtPrefixField, "27");
  Click(main, kAtWrite);
  ExpectBox(kWriteCaption, "Операция успешно завершена", Icon::Information, "write-27-box");
  main = Showing(kMainTitle, kPanelStatus, "Запись завершена");
  EXPECT_EQ(reg.Prefix(), "27");
  EXPECT_EQ(main.focus, kVelmorSpinEdit) << "the focus comes back to the field";

  Click(main, kAtUseBox);
  main = Await(kMainTitle, "disabled the prefix field",
               [](const WindowState& w) { return !w.Control(kVelmorSpinEdit).enabled; });
  EXPECT_EQ(main.Control(kVelmorSpinEdit).text, "20");
  Click(main, kAtWrite);
  ExpectBox(kWriteCaption, "Операция успешно завершена", Icon::Information, "write-off-box");
  EXPECT_EQ(reg.Prefix(), "off");

  Click(main, kAtUseBox);  // checked again: the read must uncheck it
  Showing(kMainTitle, kPanelStatus, "Запись завершена");
  Click(main, kAtRead);
  main = Await(kMainTitle, "read the prefix as not used", [](const WindowState& w) {
    return w.Control(kPanelStatus).text == "Чтение завершено" &&
           w.Control(kUseCheckBox).checked == "0";
  });
  EXPECT_FALSE(main.Control(kVelmorSpinEdit).enabled);
  desktop_->Shot("read-off");

  // A refused prefix sends nothing.
  Click(main, kAtUseBox);
  main = Await(kMainTitle, "enabled the prefix field",
               [](const WindowState& w) { return w.Control(kVelmorSpinEdit).enabled; });
  line_.ClearLog();
  TypeInto(main, kAtPrefixField, "35");
  Click(main, kAtWrite);
  ExpectBox(kWriteCaption, "Префикс должен быть числом от 20 до 29", Icon::Warning,
            "prefix-35-box");
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
  ExpectBox(kWriteCaption, "Не удается установить интерфейс с ККМ", Icon::Error,
            "second-cell-failed-box");
  main = Showing(kMainTitle, kPanelStatus, "Нет связи с ККМ");
  EXPECT_EQ(reg.ReadRam(emu::kEmulatedPrefixTensCell), '2');
  EXPECT_EQ(reg.ReadRam(emu::kEmulatedPrefixUnitsCell), 0xFF);
  EXPECT_TRUE(main.toolButtons[kTbRead] && main.toolButtons[kTbWrite]);
  line_.SetObserver(nullptr);
  reg.ClearFaults();

  // Another net number than the identified register's takes Read and Write
  // away; 150, on its way to 15, is refused before anything is sent.
  Click(main, kAtAutoDetectBox);
  main = Await(kMainTitle, "enabled the net number field",
               [](const WindowState& w) { return w.Control(kNetNumSpinEdit).enabled; });
  EXPECT_TRUE(main.toolButtons[kTbRead] && main.toolButtons[kTbWrite]);
  TypeInto(main, kAtNetNumField, "8");
  main = Await(kMainTitle, "took Read and Write away", [](const WindowState& w) {
    return !w.toolButtons.at(kTbRead) && !w.toolButtons.at(kTbWrite);
  });
  line_.ClearLog();
  TypeInto(main, kAtNetNumField, "150");
  Showing(kMainTitle, kNetNumSpinEdit, "150");
  const WindowState dialogFor150 = OpenDialog(main);
  Click(dialogFor150, kAtButton1);
  ExpectBox("Предупреждение", "Сетевой номер ККМ должен быть числом от 0 до 99", Icon::Warning,
            "net-150-box");
  EXPECT_TRUE(line_.Log().empty());
  Click(dialogFor150, kAtButton3);
  EXPECT_TRUE(desktop_->WaitGone(kDialogTitle));

  main = Showing(kMainTitle, kPanelStatus, "Нет связи с ККМ");
  Click(main, kAtExit);
  ExpectProgramEnded();
}

// Both windows as their descriptions say, hints and tab order included.
TEST_F(WindowTest, BothWindowsAreDrawnAsTheirDescriptionsSay) {
  WindowState main = Start();
  ExpectDrawnAsDescribed(main, forms::MainForm());
  desktop_->Shot("main-window");
  for (const forms::Control& item : forms::MainForm().controls) {
    if (*item.hint == '\0') continue;
    const testing::Box place = Placed(forms::MainForm(), item);
    desktop_->Hover(main, place.x + place.width / 2, place.y + place.height / 2);
    EXPECT_TRUE(desktop_->WaitFor([&](const WindowState& w) {
      return w.className == "tooltips_class32" && Unpadded(w.title) == item.hint;
    })) << item.name;
  }
  ExpectTabGoesRound(main, forms::MainForm());

  const WindowState dialog = OpenDialog(main);
  ExpectDrawnAsDescribed(dialog, forms::InitCom());
  desktop_->Shot("set-up-dialog");
  ExpectTabGoesRound(dialog, forms::InitCom());
  Click(dialog, kAtButton3);
  EXPECT_TRUE(desktop_->WaitGone(kDialogTitle));
  main = Showing(kMainTitle, kPanelStatus, "Нет связи с ККМ");
  Click(main, kAtExit);
  ExpectProgramEnded();
}

// COM2 stands, in the user's COM map, for a line behind ser2net on 127.0.0.1:
// the tool tip says so, and the set-up, a read and a write go over Winsock.
TEST_F(WindowTest, AComMapEntryForARemoteLineIsSetUpReadAndWritten) {
  emu::Register& reg = line_.AddRegister(7);
  emu::PtyHost host(line_);
  ASSERT_TRUE(host.Start());
  testing::Ser2net server(host.DevicePath());
  ASSERT_EQ(server.Problem(), "");
  // Mapped once the program has started the session on the display (a
  // headless zenor9.exe first would start it off any display); the set-up
  // dialog reads the map when it opens.
  WindowState main = Start();
  const Mapped remote(wine_, 2, server.Address());
  ASSERT_TRUE(remote.Done());
  const WindowState dialog = OpenDialog(main);
  desktop_->Hover(dialog, kAtCom2.x, kAtCom2.y);
  EXPECT_TRUE(desktop_->WaitFor([&](const WindowState& w) {
    return w.className == "tooltips_class32" &&
           Unpadded(w.title) == "COM2: " + server.Address() + " (удалённая линия, RFC 2217)";
  }));
  Click(dialog, kAtCom2);
  Click(dialog, kAtButton1);
  EXPECT_TRUE(desktop_->WaitGone(kDialogTitle));
  main = Showing(kMainTitle, kPanelStatus, "Установлен интерфейс с ККМ");
  EXPECT_EQ(main.Control(kNetNumSpinEdit).text, "7");
  Click(main, kAtRead);
  main = Showing(kMainTitle, kPanelStatus, "Чтение завершено");
  EXPECT_EQ(main.Control(kVelmorSpinEdit).text, "23");
  TypeInto(main, kAtPrefixField, "28");
  Click(main, kAtWrite);
  ExpectBox(kWriteCaption, "Операция успешно завершена", Icon::Information, "remote-write-28");
  EXPECT_EQ(reg.Prefix(), "28");
  Click(main, kAtExit);
  ExpectProgramEnded();
  host.Stop();
}

// COM1 leads to a register with firmware 1.0.4, COM2 to no device, COM3 to a
// line with no register on it.
TEST_F(WindowTest, TypedNetNumberMeetsOldFirmwareAMissingPortAndNoRegisterThenTheCloseBoxEnds) {
  line_.AddRegister(12, 0x01, 0x04);
  ServeOnCom1();
  emu::Line emptyLine;
  emu::PtyHost emptyHost(emptyLine);
  ASSERT_TRUE(emptyHost.Start());
  ASSERT_TRUE(wine_.Point(2, "/nonexistent/zenor9-adapter"));
  ASSERT_TRUE(wine_.Point(3, emptyHost.DevicePath()));
  WindowState main = Start();
  Click(main, kAtAutoDetectBox);
  main = Await(kMainTitle, "enabled the net number field",
               [](const WindowState& w) { return w.Control(kNetNumSpinEdit).enabled; });
  TypeInto(main, kAtNetNumField, "12");
  main = Showing(kMainTitle, kNetNumSpinEdit, "12");
  line_.ClearLog();

  // Neither button is the default: Escape leaves the dialog open, and Enter
  // clicks the button that has the focus ("Установить интерфейс").
  WindowState dialog = OpenDialog(main);
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
  Await(kDialogTitle, "stayed open in front", [](const WindowState& w) { return w.foreground; });
  desktop_->Shot("dialog-still-open");

  Click(dialog, kAtCom2);
  dialog = Await(kDialogTitle, "checked COM2", [](const WindowState& w) {
    return w.Control(kRadioButton2).checked == "1" && w.Control(kRadioButton1).checked == "0";
  });
  Click(dialog, kAtButton1);
  ExpectBox("Предупреждение", "Выбранный COM-порт недоступен", Icon::Warning, "port-missing-box");
  Click(dialog, kAtCom3);
  Click(dialog, kAtButton1);
  ExpectBox("Ошибка", "Нет связи с ККМ", Icon::Error, "no-register-box");
  EXPECT_FALSE(emptyLine.Log().empty());
  // Alt+F4 on the dialog acts as "Закрыть".
  desktop_->Key(dialog, "alt+F4");
  EXPECT_TRUE(desktop_->WaitGone(kDialogTitle));
  main = Showing(kMainTitle, kPanelStatus, "Нет связи с ККМ");
  EXPECT_TRUE(main.enabled);
  EXPECT_FALSE(main.toolButtons[kTbRead]);

  // With no window manager no one draws a title bar under Wine, so there is
  // no close box to click; Alt+F4 takes its road there.
  if (kWindowManager) {
    desktop_->ClickCloseBox(main);
  } else {
    desktop_->Key(main, "alt+F4");
  }
  ExpectProgramEnded();
  emptyHost.Stop();
}

// Clicks on both sides of the diagonal, the first from another control; limits;
// the disabled field's button; held halves step at once, after 400 ms, then
// every 100 ms (about 13 steps in 1.5 s, where an up-down control makes 22).
TEST_F(WindowTest, SpinButtonsStepByTheirDiagonalHalvesAndRepeatWhileHeld) {
  WindowState main = Start();
  EXPECT_FALSE(main.Control(kNetNumSpinEdit + kSpinButtonIdOffset).enabled);
  desktop_->Key(main, "Tab");
  Await(kMainTitle, "moved the focus on",
        [](const WindowState& w) { return w.focus == kUseCheckBox; });
  Click(main, kAtPrefixUpHalf);
  main = Await(kMainTitle, "stepped up into the focused field", [](const WindowState& w) {
    return w.focus == kVelmorSpinEdit && w.Control(kVelmorSpinEdit).text == "21";
  });
  EXPECT_EQ(main.Control(kVelmorSpinEdit).selection, "2,2")
      << "a click into the field selects nothing";
  Click(main, kAtPrefixDownHalf);
  Showing(kMainTitle, kVelmorSpinEdit, "20");
  Click(main, kAtPrefixDownHalf);  // at the minimum: stays 20
  Click(main, kAtPrefixUpHalf);
  Showing(kMainTitle, kVelmorSpinEdit, "21");
  desktop_->Hold(main, kAtPrefixUpHalf.x, kAtPrefixUpHalf.y, 1500);
  EXPECT_EQ(SettledNumber(kVelmorSpinEdit), 29);

  Click(main, kAtAutoDetectBox);
  main = Await(kMainTitle, "enabled the net number field and its button", [](const WindowState& w) {
    return w.Control(kNetNumSpinEdit).enabled &&
           w.Control(kNetNumSpinEdit + kSpinButtonIdOffset).enabled;
  });
  desktop_->Shot("both-fields-enabled");
  desktop_->Hold(main, kAtNetNumUpHalf.x, kAtNetNumUpHalf.y, 1500);
  const int up = SettledNumber(kNetNumSpinEdit);
  EXPECT_TRUE(up >= 6 && up <= 17) << up << " steps up in 1.5 s";
  desktop_->Hold(main, kAtNetNumDownHalf.x, kAtNetNumDownHalf.y, 1000);
  const int down = up - SettledNumber(kNetNumSpinEdit);
  EXPECT_TRUE(down >= 3 && down <= 10) << down << " steps down in 1 s";
}

// In a prefix without "MS Sans Serif" and Tahoma, as Debian's Wine makes it,
// the dialog font stands in with a wider face, and the windows take the
// largest size of it at which every text fits its control, the controls where
// they were: measured by window_text_fit.exe in the program's own windows, and
// seen in the screenshots: the main window with a tool tip, the set-up dialog
// with COM2's tool tip (a missing port: the command that maps an adapter to
// it), the box and the status line of a line with no register on it.
TEST_F(WindowTest, WithoutMsSansSerifEveryTextShowsWholeWhereTheLayoutPutsIt) {
  const WithoutWineFonts hidden;
  ASSERT_GT(hidden.Moved(), 0);
  desktop_.reset();  // a new Wine session, which finds the fonts gone
  desktop_ = std::make_unique<Desktop>((std::filesystem::current_path() / "window-tests" /
                                        (kWindowManager ? "openbox" : "no-window-manager") /
                                        "WithoutMsSansSerif")
                                           .string());
  ASSERT_EQ(desktop_->Problem(), "");
  const testing::ChildResult fit = desktop_->RunBeside("window_text_fit.exe");
  EXPECT_EQ(fit.exitCode, 0) << fit.out << fit.err;
  EXPECT_EQ(fit.out.find("MS Sans Serif"), std::string::npos) << fit.out;

  const Mapped missing(wine_, 2, "COM200");
  ASSERT_TRUE(missing.Done());
  emu::Line emptyLine;
  host_ = std::make_unique<emu::PtyHost>(emptyLine);
  ASSERT_TRUE(host_->Start());
  ASSERT_TRUE(wine_.Point(1, host_->DevicePath()));
  WindowState main = Start();
  desktop_->Hover(main, kAtConnect.x, kAtConnect.y);
  desktop_->WaitFor([](const WindowState& w) { return w.className == "tooltips_class32"; });
  desktop_->Shot("main-window-tool-tip");
  const WindowState dialog = OpenDialog(main);
  desktop_->Hover(dialog, kAtCom2.x, kAtCom2.y);
  EXPECT_TRUE(desktop_->WaitFor([&](const WindowState& w) {
    return w.className == "tooltips_class32" &&
           Unpadded(w.title) ==
               "COM2: COM200 (нет устройства)\\nАдаптер на другом порту станет COM2 "
               "командой: zenor9 ports --map COM2=COM7";
  })) << "COM2's tool tip names its missing port and the command that maps an adapter to it";
  desktop_->Shot("set-up-dialog-com2-tool-tip");
  Click(dialog, kAtButton1);
  ExpectBox("Ошибка", "Нет связи с ККМ", Icon::Error, "no-register-box");
  desktop_->Key(dialog, "alt+F4");
  main = Showing(kMainTitle, kPanelStatus, "Нет связи с ККМ");
  desktop_->Shot("main-window-no-link");
  desktop_->Key(main, "alt+F4");
  ExpectProgramEnded();
}

// At 144 dpi (Wine's LogPixels) every position and size grows by half: the
// client areas, each control inside its window, and the clicks land where the
// scaled layout puts the controls. Alt+F4 ends the program.
TEST_F(WindowTest, At144DpiTheLayoutIsScaledNotClippedThenAltF4EndsTheProgram) {
  ASSERT_TRUE(desktop_->SetDpi(144));
  constexpr double kScale = 1.5;
  const auto expectInside = [](const WindowState& window) {
    const testing::Box client{0, 0, window.client.width, window.client.height};
    for (const auto& control : window.controls) {
      EXPECT_TRUE(client.Contains(control.rect)) << "control " << control.id << " is clipped";
    }
  };
  WindowState main = Start();
  EXPECT_EQ(main.client.width, 635);  // 423 * 1.5, rounded
  EXPECT_EQ(main.client.height, 338);
  expectInside(main);
  EXPECT_EQ(main.Control(kPanelStatus).rect.y, 269);  // 179 * 1.5
  EXPECT_EQ(main.Control(kPanelStatus).rect.height, 33);
  EXPECT_EQ(main.Control(kUseCheckBox).rect.width, 518);  // 345 * 1.5
  desktop_->Shot("main-window-144-dpi");

  desktop_->Click(main, kAtConnect.x, kAtConnect.y, kScale);
  const WindowState dialog = Await(kDialogTitle, "shown");
  EXPECT_EQ(dialog.client.width, 510);
  EXPECT_EQ(dialog.client.height, 125);
  expectInside(dialog);
  EXPECT_EQ(dialog.Control(kButton3).rect.x, 288);  // 192 * 1.5
  desktop_->Shot("set-up-dialog-144-dpi");
  desktop_->Click(dialog, kAtButton3.x, kAtButton3.y, kScale);
  EXPECT_TRUE(desktop_->WaitGone(kDialogTitle));
  main = Showing(kMainTitle, kPanelStatus, "Нет связи с ККМ");
  desktop_->Key(main, "alt+F4");
  ExpectProgramEnded();
}

}  // namespace
}  // namespace zenor9
