// The interface set-up dialog: the choice of COM1 to COM4 and the button that
// opens the port, finds the register and checks its firmware. It forwards its
// buttons, its activation and close requests to the handlers.
#pragma once

#include <QDialog>

#include "app/qt_controls.h"
#include "handlers/handlers.h"

namespace zenor9 {

class TInit_Com : public QDialog, public QtControls<SetupDialogView> {
  Q_OBJECT

 public:
  explicit TInit_Com(Handlers& handlers, QWidget* parent = nullptr);
  ~TInit_Com() override;

  void RunModal() override { exec(); }
  void EndModal() override { done(QDialog::Accepted); }

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  Handlers& handlers_;
};

}  // namespace zenor9
