#include "app/main_form.h"

#include <QScreen>
#include <QStringDecoder>

#include "app/busy_cursor.h"
#include "app/handler_guard.h"
#include "app/init_com.h"
#include "app/look.h"
#include "link/net_number.h"
#include "memmap/prefix_cells.h"
#include "prefix/prefix_io.h"
#include "ui_main_form.h"

// The resources are compiled into a static library: nothing would pull them
// into the program without this call, which must stand outside any namespace.
static void LoadResources() {
  Q_INIT_RESOURCE(resources);
}

namespace zenor9 {

namespace {

const QString kStatusConnected = QStringLiteral("Установлен интерфейс с ККМ");
const QString kStatusNoLink = QStringLiteral("Нет связи с ККМ");
const QString kStatusRead = QStringLiteral("Чтение завершено");
const QString kStatusWritten = QStringLiteral("Запись завершена");
const QString kNoInterface = QStringLiteral("Не удается установить интерфейс с ККМ");
const QString kReadCaption = QStringLiteral("Чтение префикса локального ШК");
const QString kWriteCaption = QStringLiteral("Запись префикса локального ШК");
const QString kWriteDone = QStringLiteral("Операция успешно завершена");
const QString kBadPrefix = QStringLiteral("Префикс должен быть числом от 20 до 29");
const QString kNoPrefixShown = QStringLiteral("20");

}  // namespace

TMainForm::TMainForm(AppState& state, MessageService& messages, QWidget* parent)
    : QWidget(parent), state_(state), messages_(messages), ui_(std::make_unique<Ui::TMainForm>()) {
  LoadResources();
  ui_->setupUi(this);
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(size());
  ApplyLook();
  CenterOnScreen();
  // The prefix field takes the focus first, its text selected for typing over.
  ui_->VelmorSpinEdit->setFocus(Qt::OtherFocusReason);
  ui_->VelmorSpinEdit->selectAll();

  RunHandler(messages_, [this] { FormCreate(); });

  Bind(ui_->tbConnect, &QToolButton::clicked, &TMainForm::tbConnectClick);
  Bind(ui_->tbRead, &QToolButton::clicked, &TMainForm::tbReadClick);
  Bind(ui_->tbWrite, &QToolButton::clicked, &TMainForm::tbWriteClick);
  Bind(ui_->tbExit, &QToolButton::clicked, &TMainForm::tbExitClick);
  Bind(ui_->UseCheckBox, &QCheckBox::toggled, &TMainForm::UseCheckBoxClick);
  Bind(ui_->AutoDetectCheckBox, &QCheckBox::toggled, &TMainForm::AutoDetectCheckBoxClick);
  Bind(ui_->NetNumSpinEdit, &QLineEdit::textChanged, &TMainForm::NetNumSpinEditChange);
}

TMainForm::~TMainForm() {
  RunHandler(messages_, [this] { FormDestroy(); });
}

template <typename Sender, typename Signal>
void TMainForm::Bind(Sender* sender, Signal signal, void (TMainForm::*handler)()) {
  connect(sender, signal, this,
          [this, handler] { RunHandler(messages_, [&] { (this->*handler)(); }); });
}

void TMainForm::ApplyLook() {
  setFont(FormFont());
  ui_->PanelStatus->setFont(StatusFont());
  QPalette status = ui_->PanelStatus->palette();
  status.setColor(QPalette::WindowText, Qt::blue);
  ui_->PanelStatus->setPalette(status);
  ui_->RxLabel1->setFont(NoticeFont());
  QPalette notice = ui_->RxLabel1->palette();
  notice.setColor(QPalette::WindowText, Qt::white);
  ui_->RxLabel1->setPalette(notice);
}

void TMainForm::CenterOnScreen() {
  // The window itself, not its frame: a frame that a window manager adds
  // later would otherwise shift it by half a title bar.
  if (const QScreen* display = screen()) {
    QRect area = geometry();
    area.moveCenter(display->geometry().center());
    setGeometry(area);
  }
}

void TMainForm::FormCreate() {
  ButtonDisabled();
}

void TMainForm::FormDestroy() {
  CloseChannel(state_.channel);
}

void TMainForm::tbExitClick() {
  close();
}

void TMainForm::ButtonEnabled() {
  ui_->tbRead->setEnabled(true);
  ui_->tbWrite->setEnabled(true);
}

void TMainForm::ButtonDisabled() {
  ui_->tbRead->setEnabled(false);
  ui_->tbWrite->setEnabled(false);
}

void TMainForm::SetStatus(const QString& text) {
  ui_->PanelStatus->setText(text);
}

void TMainForm::ShowNetNumber() {
  // When the text changes, NetNumSpinEditChange codes the same number back.
  ui_->NetNumSpinEdit->setValue(BcdToNetNumber(static_cast<uint8_t>(~state_.addressByte)));
}

void TMainForm::tbConnectClick() {
  ui_->ToolBar->repaint();
  if (setupDialog_ != nullptr) setupDialog_->exec();
  SetStatus(state_.connected ? kStatusConnected : kStatusNoLink);
  if (state_.connected) {
    ButtonEnabled();
    ShowNetNumber();
  }
}

void TMainForm::AutoDetectCheckBoxClick() {
  ShowNetNumber();
  const bool detect = ui_->AutoDetectCheckBox->isChecked();
  state_.autoDetect = detect ? 1 : 0;
  ui_->NetNumSpinEdit->setEnabled(!detect);
}

void TMainForm::NetNumSpinEditChange() {
  // Text that is no whole number (a lone sign, too many digits) is still being
  // typed: the address byte keeps its value.
  const std::optional<int> number = ParseWholeNumber(ui_->NetNumSpinEdit->text());
  if (!number) return;
  state_.addressByte = AddressByteOfNetNumber(static_cast<uint8_t>(*number & 0xFF));
}

void TMainForm::UseCheckBoxClick() {
  if (ui_->UseCheckBox->isChecked()) {
    ui_->VelmorSpinEdit->setEnabled(true);
  } else {
    ui_->VelmorSpinEdit->setText(kNoPrefixShown);
    ui_->VelmorSpinEdit->setEnabled(false);
  }
}

// The register's texts are in code page 1251, so a cell byte above 0x7F stands
// for a Cyrillic letter; where the platform lacks that code page, Latin-1 keeps
// one character per byte all the same.
QString TMainForm::CellText(const QByteArray& cells) {
  QStringDecoder cp1251("windows-1251");
  return cp1251.isValid() ? QString(cp1251(cells)) : QString::fromLatin1(cells);
}

void TMainForm::tbReadClick() {
  ButtonDisabled();
  PrefixReading reading;
  {
    BusyCursor busy;
    reading = ReadPrefixCells(Register());
  }
  // A digit in the tens cell checks the box before the units cell is known,
  // so that it stays checked when the units cell fails.
  if (reading.TensRead() && reading.tens != kPrefixNotUsed) ui_->UseCheckBox->setChecked(true);
  if (!reading.Succeeded()) return ReadFailed();
  if (reading.NotUsed()) return ShowPrefixNotUsed();
  // The bytes as they are, digits or not.
  const char cells[] = {static_cast<char>(reading.tens), static_cast<char>(reading.units)};
  ui_->VelmorSpinEdit->setText(CellText(QByteArray(cells, 2)));
  ui_->VelmorSpinEdit->setEnabled(true);
  SetStatus(kStatusRead);
  ButtonEnabled();
}

void TMainForm::ShowPrefixNotUsed() {
  ui_->VelmorSpinEdit->setText(kNoPrefixShown);
  ui_->UseCheckBox->setChecked(false);
  ui_->VelmorSpinEdit->setEnabled(false);
  SetStatus(kStatusRead);
  ButtonEnabled();
}

void TMainForm::ReadFailed() {
  // The buttons stay disabled until the interface is set up again.
  messages_.Show(kNoInterface, kReadCaption, kIconError);
  SetStatus(kStatusNoLink);
}

void TMainForm::tbWriteClick() {
  if (!ui_->UseCheckBox->isChecked()) {
    ButtonDisabled();
    WriteEnded(WritePrefixCells(kPrefixNotUsed, kPrefixNotUsed));
    return;
  }
  // The tool bar leaves the focus in the field, so its text may be anything
  // the user typed; only a prefix from 20 to 29 may reach the register. A
  // refusal touches no link, so the status line and the buttons stay as they were.
  const QString text = ui_->VelmorSpinEdit->text();
  if (!IsValidPrefixText(text.toStdString())) {
    messages_.Show(kBadPrefix, kWriteCaption, kIconWarning);
    return;
  }
  ButtonDisabled();
  WriteEnded(WritePrefixCells(static_cast<uint8_t>(text[0].unicode()),
                              static_cast<uint8_t>(text[1].unicode())));
}

bool TMainForm::WritePrefixCells(uint8_t tens, uint8_t units) {
  BusyCursor busy;
  return !zenor9::WritePrefixCells(Register(), {tens, units});
}

PrefixRegister TMainForm::Register() {
  return {state_.channel, state_.addressByte, state_.memoryMap};
}

void TMainForm::WriteEnded(bool written) {
  if (written) {
    messages_.Show(kWriteDone, kWriteCaption, kIconInformation);
    SetStatus(kStatusWritten);
  } else {
    messages_.Show(kNoInterface, kWriteCaption, kIconError);
    SetStatus(kStatusNoLink);
  }
  ButtonEnabled();
}

}  // namespace zenor9
