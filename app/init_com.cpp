#include "app/init_com.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

#include "app/form_widgets.h"
#include "app/look.h"

namespace zenor9 {

TInit_Com::TInit_Com(Handlers& handlers, QWidget* parent)
    : QDialog(parent),
      QtControls<SetupDialogView>(static_cast<QWidget&>(*this)),
      handlers_(handlers) {
  const forms::Form& form = forms::InitCom();
  BuildForm(*this, form);
  setModal(true);
  // Neither button is the default: Enter clicks only a focused button.
  for (QPushButton* button : findChildren<QPushButton*>()) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  ApplyFonts(*this, form);
  handlers_.Created(static_cast<SetupDialogView&>(*this));
  ForwardEvents(*this, form, handlers_);
}

TInit_Com::~TInit_Com() {
  handlers_.Destroyed(static_cast<SetupDialogView&>(*this));
}

bool TInit_Com::event(QEvent* event) {
  // A platform without a window manager may never activate the dialog, so its
  // showing counts as the first activation: every run starts unconnected. An
  // activation that arrives once the dialog has closed belongs to no run.
  const bool activated = event->type() == QEvent::WindowActivate && isVisible();
  if (activated || event->type() == QEvent::Show) handlers_.Activated(Window::Init_Com);
  // Centred at every showing: left to itself, Qt reopens the dialog one title
  // bar lower than where a window manager first placed it.
  if (event->type() == QEvent::Show) CenterOnScreen(*this);
  return QDialog::event(event);
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
  // close request (its own button, Alt+F4); the handlers end the run as
  // "Закрыть" does.
  event->ignore();
  if (isVisible() && handlers_.CloseRequested(Window::Init_Com)) event->accept();
}

}  // namespace zenor9
