#include "app/init_com.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>

#include "app/busy_cursor.h"
#include "app/handler_guard.h"
#include "app/look.h"
#include "app/title_bar.h"
#include "diagnosis/com_summary.h"
#include "link/interface_setup.h"
#include "portmap/com_map.h"
#include "ui_init_com.h"

namespace zenor9 {

namespace {

const QString kPortUnavailable = QStringLiteral("Выбранный COM-порт недоступен");
const QString kNoLink = QStringLiteral("Нет связи с ККМ");
const QString kOldFirmware = QStringLiteral("В ККМ необходимо установить ПО версии не ниже 1.0.5");
const QString kWarningCaption = QStringLiteral("Предупреждение");
const QString kErrorCaption = QStringLiteral("Ошибка");

}  // namespace

TInit_Com::TInit_Com(AppState& state, MessageService& messages, QWidget* parent)
    : QDialog(parent), state_(state), messages_(messages), ui_(std::make_unique<Ui::TInit_Com>()) {
  ui_->setupUi(this);
  ShowCaptionOnly(*this);
  // Neither button is the default: Enter clicks only a focused button.
  for (QPushButton* button : {ui_->Button1, ui_->Button3}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  setFixedSize(size());
  setFont(FormFont());
  connect(ui_->Button1, &QPushButton::clicked, this,
          [this] { RunHandler(messages_, [this] { Button1Click(); }); });
  connect(ui_->Button3, &QPushButton::clicked, this,
          [this] { RunHandler(messages_, [this] { Button3Click(); }); });
}

TInit_Com::~TInit_Com() = default;

bool TInit_Com::event(QEvent* event) {
  // A platform without a window manager may never activate the dialog, so its
  // showing counts as the first activation: every run starts unconnected. An
  // activation that arrives once the dialog has closed belongs to no run.
  const bool activated = event->type() == QEvent::WindowActivate && isVisible();
  if (activated || event->type() == QEvent::Show) {
    RunHandler(messages_, [this] { FormActivate(); });
  }
  if (event->type() == QEvent::Show) {
    CenterOnDesktop();
    ShowPortDevices();
  }
  return QDialog::event(event);
}

void TInit_Com::CenterOnDesktop() {
  // At every showing: left to itself, Qt reopens the dialog one title bar
  // lower than where a window manager first placed it.
  if (const QScreen* display = screen()) {
    QRect area = geometry();
    area.moveCenter(display->geometry().center());
    setGeometry(area);
  }
}

void TInit_Com::keyPressEvent(QKeyEvent* event) {
  // The dialog has no cancel button: Escape does not close it. A button that
  // is not a default one leaves Enter to its dialog, which clicks the button
  // if it has the focus and does nothing anywhere else.
  switch (event->key()) {
    case Qt::Key_Escape:
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (auto* button = qobject_cast<QPushButton*>(focusWidget())) button->click();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void TInit_Com::closeEvent(QCloseEvent* event) {
  // The dialog offers no close box, but a window manager may still send a
  // close request (its own button, Alt+F4): it acts as "Закрыть".
  event->ignore();
  if (isVisible()) RunHandler(messages_, [this] { Button3Click(); });
}

void TInit_Com::FormActivate() {
  state_.connected = 0;
}

// Each radio button's tool tip names the device its COM port stands for now
// (the environment, the user's COM map, or the default) and its driver, or that
// it is missing.
void TInit_Com::ShowPortDevices() {
  QRadioButton* radios[] = {ui_->RadioButton1, ui_->RadioButton2, ui_->RadioButton3,
                            ui_->RadioButton4};
  for (int n = 1; n <= 4; ++n) {
    radios[n - 1]->setToolTip(QString::fromStdString(diag::ComPortSummary(n)));
  }
}

uint8_t TInit_Com::ChosenPort() const {
  uint8_t port = 0;
  const QRadioButton* radios[] = {ui_->RadioButton1, ui_->RadioButton2, ui_->RadioButton3,
                                  ui_->RadioButton4};
  for (uint8_t n = 1; n <= 4; ++n) {
    if (radios[n - 1]->isChecked()) port = n;
  }
  return port;
}

void TInit_Com::Button1Click() {
  SetupOutcome outcome;
  {
    BusyCursor busy;
    outcome = SetUpInterface(state_.channel,
                             {portmap::ResolveCom(ChosenPort()).device, state_.autoDetect != 0},
                             state_.addressByte, state_.versionCode);
  }
  switch (outcome) {
    case SetupOutcome::Connected:
      state_.memoryMap.SelectMemoryMap(VersionLetter(state_.versionCode));
      state_.connected = 1;
      done(QDialog::Accepted);
      break;
    case SetupOutcome::PortUnavailable:
      messages_.Show(kPortUnavailable, kWarningCaption, kIconWarning);
      break;
    case SetupOutcome::NoAnswerToScan:
    case SetupOutcome::NoAnswerToIdentify:
      messages_.Show(kNoLink, kErrorCaption, kIconError);
      break;
    case SetupOutcome::UnsupportedVersion:
    case SetupOutcome::BadIdentifyReply:  // version code 0: the firmware message too
      messages_.Show(kOldFirmware, kWarningCaption, kIconWarning);
      break;
  }
}

void TInit_Com::Button3Click() {
  done(QDialog::Rejected);
}

}  // namespace zenor9
