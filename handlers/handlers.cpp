#include "handlers/handlers.h"

#include <optional>
#include <stdexcept>

#include "diagnosis/com_summary.h"
#include "handlers/cell_text.h"
#include "handlers/spin_field.h"
#include "handlers/texts.h"
#include "handlers/unhandled_error.h"
#include "i18n/text.h"
#include "link/channel.h"
#include "link/interface_setup.h"
#include "link/net_number.h"
#include "memmap/prefix_cells.h"
#include "portmap/com_map.h"
#include "prefix/prefix_io.h"

namespace zenor9 {

// The windows speak Russian whatever the locale, in every front end: their own
// additions (the ports' tool tips) too.
Handlers::Handlers(AppState& state, ApplicationView& application)
    : state_(state), application_(application) {
  i18n::UseLanguage(i18n::Language::Russian);
}

void Handlers::Created(MainWindowView& view) {
  main_ = &view;
  Guarded(&Handlers::FormCreate);
}

void Handlers::Created(SetupDialogView& view) {
  dialog_ = &view;
}

void Handlers::Destroyed(MainWindowView& view) {
  Guarded(&Handlers::FormDestroy);
  if (main_ == &view) main_ = nullptr;
}

void Handlers::Destroyed(SetupDialogView& view) {
  if (dialog_ == &view) dialog_ = nullptr;
}

void Handlers::Clicked(Control control) {
  switch (control) {
    case Control::tbConnect:
      return Guarded(&Handlers::tbConnectClick);
    case Control::tbRead:
      return Guarded(&Handlers::tbReadClick);
    case Control::tbWrite:
      return Guarded(&Handlers::tbWriteClick);
    case Control::tbExit:
      return Guarded(&Handlers::tbExitClick);
    case Control::UseCheckBox:
      return Guarded(&Handlers::UseCheckBoxClick);
    case Control::AutoDetectCheckBox:
      return Guarded(&Handlers::AutoDetectCheckBoxClick);
    case Control::Button1:
      return Guarded(&Handlers::Button1Click);
    case Control::Button3:
      return Guarded(&Handlers::Button3Click);
    default:
      return;
  }
}

void Handlers::Changed(Control control) {
  if (control == Control::NetNumSpinEdit) Guarded(&Handlers::NetNumSpinEditChange);
}

void Handlers::Activated(Window window) {
  if (window == Window::Init_Com) Guarded(&Handlers::FormActivate);
}

bool Handlers::CloseRequested(Window window) {
  if (window == Window::MainForm) return true;
  Guarded(&Handlers::Button3Click);
  return false;
}

void Handlers::Guarded(void (Handlers::*handler)()) {
  RunHandler(application_, [this, handler] { (this->*handler)(); });
}

MainWindowView& Handlers::Main() const {
  if (main_ == nullptr) throw std::logic_error("the main window is not there");
  return *main_;
}

SetupDialogView& Handlers::Dialog() const {
  if (dialog_ == nullptr) throw std::logic_error("the set-up dialog is not there");
  return *dialog_;
}

// The main window.

void Handlers::FormCreate() {
  ButtonDisabled();
}

void Handlers::FormDestroy() {
  CloseChannel(state_.channel);
}

void Handlers::tbExitClick() {
  Main().CloseWindow();
}

void Handlers::ButtonEnabled() {
  Main().SetEnabled(Control::tbRead, true);
  Main().SetEnabled(Control::tbWrite, true);
}

void Handlers::ButtonDisabled() {
  Main().SetEnabled(Control::tbRead, false);
  Main().SetEnabled(Control::tbWrite, false);
}

void Handlers::SetStatus(const char* text) {
  Main().SetText(Control::PanelStatus, text);
}

void Handlers::ShowNetNumber() {
  // When the text changes, NetNumSpinEditChange codes the same number back.
  Main().SetValue(Control::NetNumSpinEdit, NetNumberOfAddressByte(state_.addressByte));
}

void Handlers::tbConnectClick() {
  Main().RepaintNow(Control::ToolBar);
  ShowPortDevices();
  Dialog().RunModal();
  SetStatus(state_.connected ? kStatusConnected : kStatusNoLink);
  if (state_.connected) {
    ButtonEnabled();
    ShowNetNumber();
  }
}

void Handlers::AutoDetectCheckBoxClick() {
  ShowNetNumber();
  const bool detect = Main().Checked(Control::AutoDetectCheckBox);
  state_.autoDetect = detect ? 1 : 0;
  Main().SetEnabled(Control::NetNumSpinEdit, !detect);
}

void Handlers::NetNumSpinEditChange() {
  // Text that is no whole number (a lone sign, too many digits) is still being
  // typed: the address byte keeps its value, and no error is raised.
  const std::optional<int> number = ParseWholeNumber(Main().Text(Control::NetNumSpinEdit));
  if (!number) return;
  state_.addressByte = AddressByteOfNetNumber(static_cast<uint8_t>(*number & 0xFF));
}

void Handlers::UseCheckBoxClick() {
  if (Main().Checked(Control::UseCheckBox)) {
    Main().SetEnabled(Control::VelmorSpinEdit, true);
  } else {
    Main().SetText(Control::VelmorSpinEdit, kNoPrefixShown);
    Main().SetEnabled(Control::VelmorSpinEdit, false);
  }
}

void Handlers::tbReadClick() {
  ButtonDisabled();
  PrefixReading reading;
  {
    BusyCursor busy(application_);
    reading = ReadPrefixCells(Register());
  }
  // A character in the tens cell checks the box before the units cell counts.
  if (reading.TensRead() && reading.tens != kPrefixNotUsed) {
    Main().SetChecked(Control::UseCheckBox, true);
  }
  if (!reading.Succeeded()) return ReadFailed();
  if (reading.NotUsed()) return ShowPrefixNotUsed();
  // The bytes as they are, digits or not.
  const std::string cells{static_cast<char>(reading.tens), static_cast<char>(reading.units)};
  Main().SetText(Control::VelmorSpinEdit, Cp1251ToUtf8(cells));
  Main().SetEnabled(Control::VelmorSpinEdit, true);
  SetStatus(kStatusRead);
  ButtonEnabled();
}

void Handlers::ShowPrefixNotUsed() {
  Main().SetText(Control::VelmorSpinEdit, kNoPrefixShown);
  Main().SetChecked(Control::UseCheckBox, false);
  Main().SetEnabled(Control::VelmorSpinEdit, false);
  SetStatus(kStatusRead);
  ButtonEnabled();
}

void Handlers::ReadFailed() {
  // The buttons stay disabled until the interface is set up again.
  application_.ShowMessageBox(kNoInterface, kReadCaption, kIconError);
  SetStatus(kStatusNoLink);
}

void Handlers::tbWriteClick() {
  if (!Main().Checked(Control::UseCheckBox)) {
    ButtonDisabled();
    return WriteEnded(WriteCells(kPrefixNotUsed, kPrefixNotUsed));
  }
  // The tool bar leaves the focus in the field, so its text may be anything
  // the user typed; only a prefix from 20 to 29 may reach the register. A
  // refusal touches no link, so the status line and the buttons stay as they were.
  const std::string text = Main().Text(Control::VelmorSpinEdit);
  if (!IsValidPrefixText(text)) {
    application_.ShowMessageBox(kBadPrefix, kWriteCaption, kIconWarning);
    return;
  }
  ButtonDisabled();
  WriteEnded(WriteCells(static_cast<uint8_t>(text[0]), static_cast<uint8_t>(text[1])));
}

bool Handlers::WriteCells(uint8_t tens, uint8_t units) {
  BusyCursor busy(application_);
  return WritePrefixCells(Register(), {tens, units});
}

PrefixRegister Handlers::Register() {
  return {state_.channel, state_.addressByte, state_.memoryMap};
}

void Handlers::WriteEnded(bool written) {
  if (written) {
    application_.ShowMessageBox(kWriteDone, kWriteCaption, kIconInformation);
    SetStatus(kStatusWritten);
  } else {
    application_.ShowMessageBox(kNoInterface, kWriteCaption, kIconError);
    SetStatus(kStatusNoLink);
  }
  ButtonEnabled();
}

// The set-up dialog.

void Handlers::FormActivate() {
  state_.connected = 0;
}

// Each radio button's tool tip names the device its COM port stands for now
// (the environment, the user's COM map, or the default) and its driver, that
// it is missing, or why the map gives the port none.
void Handlers::ShowPortDevices() {
  const Control radios[] = {Control::RadioButton1, Control::RadioButton2, Control::RadioButton3,
                            Control::RadioButton4};
  for (int n = 1; n <= 4; ++n) Dialog().SetToolTip(radios[n - 1], diag::ComPortSummary(n));
}

uint8_t Handlers::ChosenPort() const {
  const Control radios[] = {Control::RadioButton1, Control::RadioButton2, Control::RadioButton3,
                            Control::RadioButton4};
  uint8_t port = 0;
  for (uint8_t n = 1; n <= 4; ++n) {
    if (Dialog().Checked(radios[n - 1])) port = n;
  }
  return port;
}

void Handlers::Button1Click() {
  SetupOutcome outcome;
  {
    BusyCursor busy(application_);
    // A port that the COM map gives no device has an empty name, which opens
    // nothing: the attempt ends as an unavailable port.
    outcome = SetUpInterface(state_.channel,
                             {portmap::ResolveCom(ChosenPort()).device, state_.autoDetect != 0},
                             state_.addressByte, state_.versionCode);
  }
  switch (outcome) {
    case SetupOutcome::Connected:
      state_.memoryMap.SelectMemoryMap(VersionLetter(state_.versionCode));
      state_.connected = 1;
      return Dialog().EndModal();
    case SetupOutcome::PortUnavailable:
      return application_.ShowMessageBox(kPortUnavailable, kWarningCaption, kIconWarning);
    case SetupOutcome::NoAnswerToScan:
    case SetupOutcome::NoAnswerToIdentify:
      return application_.ShowMessageBox(kNoLink, kErrorCaption, kIconError);
    case SetupOutcome::UnsupportedVersion:
    case SetupOutcome::BadIdentifyReply:  // version code 0: the firmware message too
      return application_.ShowMessageBox(kOldFirmware, kWarningCaption, kIconWarning);
  }
}

void Handlers::Button3Click() {
  Dialog().EndModal();
}

}  // namespace zenor9
