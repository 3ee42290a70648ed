// The main window: the tool bar with the set-up, read, write and exit buttons,
// the net number and prefix fields, the status line and the footer.
#pragma once

#include <QWidget>
#include <memory>

#include "handlers/app_state.h"
#include "app/messages.h"

namespace Ui {
class TMainForm;
}

namespace zenor9 {

class TInit_Com;

class TMainForm : public QWidget {
  Q_OBJECT

 public:
  // Builds the window in its initial state; the handlers of its check boxes
  // and fields are attached only afterwards, so none runs during creation.
  TMainForm(AppState& state, MessageService& messages, QWidget* parent = nullptr);
  ~TMainForm() override;

  // The interface set-up dialog that tbConnect shows.
  void SetSetupDialog(TInit_Com* dialog) { setupDialog_ = dialog; }

  void tbExitClick();
  void tbConnectClick();
  void ButtonEnabled();
  void ButtonDisabled();
  void FormCreate();
  void FormDestroy();
  void tbReadClick();
  void tbWriteClick();
  void UseCheckBoxClick();
  void AutoDetectCheckBoxClick();
  void NetNumSpinEditChange();

 private:
  template <typename Sender, typename Signal>
  void Bind(Sender* sender, Signal signal, void (TMainForm::*handler)());
  void ApplyLook();
  void CenterOnScreen();
  void ShowNetNumber();
  void SetStatus(const QString& text);
  static QString CellText(const QByteArray& cells);
  void ShowPrefixNotUsed();
  void ReadFailed();
  void WriteEnded(bool written);
  bool WritePrefixCells(uint8_t tens, uint8_t units);

  AppState& state_;
  MessageService& messages_;
  TInit_Com* setupDialog_ = nullptr;
  std::unique_ptr<Ui::TMainForm> ui_;
};

}  // namespace zenor9
