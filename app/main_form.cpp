#include "app/main_form.h"

#include <QCloseEvent>
#include <QLineEdit>

#include "app/form_widgets.h"
#include "app/look.h"
#include "handlers/texts.h"

namespace zenor9 {

TMainForm::TMainForm(Handlers& handlers, QWidget* parent)
    : QWidget(parent),
      QtControls<MainWindowView>(static_cast<QWidget&>(*this)),
      handlers_(handlers) {
  const forms::Form& form = forms::MainForm();
  BuildForm(*this, form);
  // The status line's font fits each text the handlers may write into it.
  ApplyFonts(*this, form,
             {{ControlName(Control::PanelStatus),
               {kStatusConnected, kStatusNoLink, kStatusRead, kStatusWritten}}});
  CenterOnScreen(*this);
  // The prefix field takes the focus first, its text selected for typing over.
  auto& prefix = dynamic_cast<QLineEdit&>(ControlWidget(*this, Control::VelmorSpinEdit));
  prefix.setFocus(Qt::OtherFocusReason);
  prefix.selectAll();
  handlers_.Created(static_cast<MainWindowView&>(*this));
  ForwardEvents(*this, form, handlers_);
}

TMainForm::~TMainForm() {
  handlers_.Destroyed(static_cast<MainWindowView&>(*this));
}

void TMainForm::closeEvent(QCloseEvent* event) {
  event->setAccepted(handlers_.CloseRequested(Window::MainForm));
}

}  // namespace zenor9
