// The program's two windows over an emulated register line on virtual time,
// with message boxes recorded instead of shown.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/init_com.h"
#include "app/main_form.h"
#include "app/messages.h"
#include "app/spin_edit.h"
#include "emulator/line.h"
#include "handlers/app_state.h"
#include "handlers/handlers.h"

namespace zenor9::test {

// Test classes register themselves by name; test_main runs one or all.
using TestFactory = std::function<std::unique_ptr<QObject>()>;
std::map<std::string, TestFactory>& TestRegistry();

#define ZENOR9_APP_TEST(Class)                                                                     \
  static const bool Class##Registered = (                                                          \
      ::zenor9::test::TestRegistry()[#Class] = [] { return std::unique_ptr<QObject>(new Class); }, \
      true)

struct ShownMessage {
  QString text;
  QString caption;
  unsigned flags;
  QString statusWhileShown;  // the main window's status line while the box was up
  bool waitCursorWhileShown;
};

// The application as the program has it (the real wait cursor), with the
// message boxes recorded instead of shown.
class RecordingMessages final : public QtApplicationView {
 public:
  void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) override;

  std::vector<ShownMessage> shown;
  std::function<QString()> status;  // reads the status line, when set
};

// The program as main() builds it, on an emulated line whose register has
// `netNumber`; COM1 leads to the line, COM2 to COM4 do not open.
class Program {
 public:
  explicit Program(uint8_t netNumber = 0, bool realChannel = false);
  ~Program();

  template <typename Widget>
  Widget* Find(const char* name) const {
    Widget* widget = form->findChild<Widget*>(name);
    if (widget == nullptr) widget = dialog->findChild<Widget*>(name);
    return widget;
  }
  QToolButton* Tool(const char* name) const { return Find<QToolButton>(name); }
  QCheckBox* Check(const char* name) const { return Find<QCheckBox>(name); }
  IntegerSpinEdit* Spin(const char* name) const { return Find<IntegerSpinEdit>(name); }
  QString Status() const { return Find<QLabel>("PanelStatus")->text(); }
  bool ButtonsEnabled() const;
  bool ButtonsDisabled() const;

  // Presses tbConnect; `inDialog` runs inside the dialog's modal run. The
  // dialog is closed with Button3 afterwards if it is still open.
  void Connect(const std::function<void()>& inDialog);
  // Presses Button1 in the dialog (to be called from inside Connect).
  void PressSetUp();
  // A whole successful set-up with automatic detection.
  bool ConnectOk();
  void Click(QWidget* widget) const;

  // Makes the register silent from the n-th command sent from now on.
  void SilenceFromCommand(int n);
  // Commands sent since the log was last cleared (each starts with one address byte).
  int CommandsSent() const;

  emu::Line line;
  emu::Register* reg;
  VirtualClock clock;
  RecordingMessages messages;
  AppState state;
  Handlers handlers{state, messages};
  std::unique_ptr<TMainForm> form;
  std::unique_ptr<TInit_Com> dialog;
  bool dialogWasModal = false;
  bool windowActive = false;
};

}  // namespace zenor9::test
