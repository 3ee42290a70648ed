// The interface set-up dialog: the choice of COM1 to COM4 and the button that
// opens the port, finds the register and checks its firmware.
#pragma once

#include <QDialog>
#include <memory>

#include "handlers/app_state.h"
#include "app/messages.h"

namespace Ui {
class TInit_Com;
}

namespace zenor9 {

class TInit_Com : public QDialog {
  Q_OBJECT

 public:
  TInit_Com(AppState& state, MessageService& messages, QWidget* parent = nullptr);
  ~TInit_Com() override;

  void Button1Click();
  void Button3Click();
  void FormActivate();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowPortDevices();
  uint8_t ChosenPort() const;
  void CenterOnDesktop();

  AppState& state_;
  MessageService& messages_;
  std::unique_ptr<Ui::TInit_Com> ui_;
};

}  // namespace zenor9
