// The main window: the tool bar with the set-up, read, write and exit buttons,
// the net number and prefix fields, the status line and the footer. It shows
// what the handlers write into it and forwards its controls' events to them.
#pragma once

#include <QWidget>

#include "app/qt_controls.h"
#include "handlers/handlers.h"

namespace zenor9 {

class TMainForm : public QWidget, public QtControls<MainWindowView> {
  Q_OBJECT

 public:
  // Builds the window in its initial state and tells the handlers it exists;
  // its controls' events are forwarded only afterwards, so none runs during
  // creation.
  explicit TMainForm(Handlers& handlers, QWidget* parent = nullptr);
  ~TMainForm() override;

  void CloseWindow() override { close(); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  Handlers& handlers_;
};

}  // namespace zenor9
