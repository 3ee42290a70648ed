#include "handlers/handlers.h"

#include <cstdio>
#include <optional>
#include <stdexcept>

#include "diagnosis/com_summary.h"
#include "handlers/cell_text.h"
#include "handlers/spin_field.h"
#include "handlers/texts.h"
#include "handlers/unhandled_error.h"
#include "i18n/text.h"
#include "journal/journal.h"
#include "link/channel.h"
#include "link/net_number.h"
#include "memmap/prefix_cells.h"
#include "operations/prefix.h"
#include "operations/setup.h"

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
  } else if (!state_.IdentifiedInUse()) {
    // A failed attempt closed the port of the earlier set-up: its register can
    // no longer be read or written.
    ButtonDisabled();
  }
}

void Handlers::AutoDetectCheckBoxClick() {
  ShowNetNumber();
  const bool detect = Main().Checked(Control::AutoDetectCheckBox);
  state_.autoDetect = detect ? 1 : 0;
  Main().SetEnabled(Control::NetNumSpinEdit, !detect);
}

void Handlers::NetNumSpinEditChange() {
  // Text that is no net number (a lone sign, 150 on its way to 15) is still
  // being typed: the address byte keeps its value, and no error is raised.
  const std::optional<uint8_t> net = TypedNetNumber();
  if (!net) return;
  state_.addressByte = AddressByteOfNetNumber(*net);
  // Another register than the identified one: its firmware has not been
  // asked, so nothing may be read from it or written to it before a set-up.
  if (!state_.IdentifiedInUse()) ButtonDisabled();
}

std::optional<uint8_t> Handlers::TypedNetNumber() const {
  const std::optional<int> number = ParseWholeNumber(Main().Text(Control::NetNumSpinEdit));
  if (!number || *number < 0 || *number >= kNetNumberCount) return std::nullopt;
  return static_cast<uint8_t>(*number);
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
    reading = ReadPrefixCells(state_);
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
  application_.ShowMessageBox(kTextNoInterface, kReadCaption, kIconError);
  SetStatus(kStatusNoLink);
}

void Handlers::tbWriteClick() {
  if (!Main().Checked(Control::UseCheckBox)) {
    ButtonDisabled();
    return WriteEnded(WriteCells(kCellsNotUsed));
  }
  // The tool bar leaves the focus in the field, so its text may be anything
  // the user typed; only a prefix from 20 to 29 may reach the register. A
  // refusal touches no link, so the status line and the buttons stay as they were.
  const std::optional<PrefixCells> cells = CellsOfPrefix(Main().Text(Control::VelmorSpinEdit));
  if (!cells) {
    application_.ShowMessageBox(kBadPrefix, kWriteCaption, kIconWarning);
    return;
  }
  ButtonDisabled();
  WriteEnded(WriteCells(*cells));
}

bool Handlers::WriteCells(const PrefixCells& cells) {
  BusyCursor busy(application_);
  const bool written = WritePrefixCells(state_, cells).Succeeded();
  RecordWrite(cells, written);
  return written;
}

// Who wrote which prefix where must be answerable whichever program wrote it,
// so the window's writes go into the command line's journal too. The write is
// done by then and the window's texts are fixed: a journal that cannot take
// the record changes neither, and is noted on stderr alone.
void Handlers::RecordWrite(const PrefixCells& cells, bool written) {
  journal::WriteRecord record;
  record.program = journal::kWindowProgram;
  record.port = state_.port.name;
  if (!state_.port.Device().empty()) record.device = state_.port.Device();
  if (state_.IdentifiedInUse()) record.net = NetNumberOfAddressByte(state_.addressByte);
  record.asked = PrefixCellsSayNotUsed(cells) ? "off" : std::string(cells.begin(), cells.end());
  record.ok = written;
  if (!written) record.error = "command-failed";  // the command line's key for it
  // Its frames went out whether or not they were acknowledged, and the window
  // reads nothing before or after: the register may have changed.
  record.written = true;
  record.changed = true;
  std::string error;
  if (!journal::RecordWrite(std::move(record), error)) {
    std::fprintf(stderr, "%s: %s\n", journal::kWindowProgram,
                 i18n::Tr("the write was not recorded in the journal: %s", error).c_str());
  }
}

void Handlers::WriteEnded(bool written) {
  if (written) {
    application_.ShowMessageBox(kTextWriteDone, kWriteCaption, kIconInformation);
    SetStatus(kStatusWritten);
  } else {
    application_.ShowMessageBox(kTextNoInterface, kWriteCaption, kIconError);
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
  // The net number field may hold text on its way to a number, or one beyond
  // 99 that leaving the field has not yet brought into range: such text never
  // becomes an address, and nothing is sent or closed for it.
  if (state_.autoDetect == 0 && !TypedNetNumber()) {
    return application_.ShowMessageBox(kBadNetNumber, kWarningCaption, kIconWarning);
  }
  SetupResult result;
  {
    BusyCursor busy(application_);
    state_.port = ChooseComPort(ChosenPort());
    result = SetUpInterface(state_, {state_.port, state_.autoDetect != 0});
  }
  switch (result.outcome) {
    case SetupOutcome::Connected:
      state_.connected = 1;
      return Dialog().EndModal();
    case SetupOutcome::PortUnavailable:
      return application_.ShowMessageBox(kTextPortUnavailable, kWarningCaption, kIconWarning);
    case SetupOutcome::NoAnswerToScan:
    case SetupOutcome::NoAnswerToIdentify:
    // A reply that fails its check sum carries no version (noise, two registers
    // on one net number): the exchange failed, as the command line says too.
    case SetupOutcome::BadIdentifyReply:
    case SetupOutcome::Stopped:   // the window program asks for no stops
    case SetupOutcome::PortLost:  // it answered nothing, as a silent register
      return application_.ShowMessageBox(kTextNoLink, kErrorCaption, kIconError);
    case SetupOutcome::UnsupportedVersion:
      return application_.ShowMessageBox(kTextOldFirmware, kWarningCaption, kIconWarning);
  }
}

void Handlers::Button3Click() {
  Dialog().EndModal();
}

}  // namespace zenor9
