// A form as the handlers see it: their controls mapped onto the form's, texts
// converted between UTF-8 and UTF-16, and the controls' events forwarded to
// them. Only once the handlers know the window (Listen) are events forwarded.
#pragma once

#include "handlers/handlers.h"
#include "handlers/view.h"
#include "link/win32_text.h"
#include "win32/control_ids.h"
#include "win32/form.h"

namespace zenor9::win32 {

template <typename View>
class FormView : public Form, public View {
 public:
  // From now on the controls' events reach the handlers.
  void Listen() { listening_ = true; }

  std::string Text(Control control) const override { return Utf8(Form::Text(IdOf(control))); }
  void SetText(Control control, const std::string& text) override {
    Form::SetText(IdOf(control), Wide(text));  // a spin edit's change comes back as EN_CHANGE
  }
  bool Checked(Control control) const override { return Form::Checked(IdOf(control)); }
  // Windows reports no click when the program sets a check mark: the change is
  // forwarded here, as the toolkits do.
  void SetChecked(Control control, bool checked) override {
    const int id = IdOf(control);
    if (Form::Checked(id) == checked) return;
    Form::SetChecked(id, checked);
    Forward(id, BN_CLICKED);
  }
  bool Enabled(Control control) const override { return Form::Enabled(IdOf(control)); }
  void SetEnabled(Control control, bool enabled) override {
    Form::SetEnabled(IdOf(control), enabled);
  }
  void SetToolTip(Control control, const std::string& text) override {
    Form::SetToolTip(IdOf(control), Wide(text));
  }
  void RepaintNow(Control control) override { Form::RepaintNow(IdOf(control)); }

 protected:
  FormView(Handlers& handlers, const forms::Form& form, const wchar_t* className, HWND owner)
      : Form(form, className, owner), handlers_(handlers) {}

  Handlers& Handled() { return handlers_; }
  bool Listening() const { return listening_; }

  void OnCommand(int id, int code) override { Forward(id, code); }

 private:
  // A click on a button, a tool button or a check box; a change of a spin
  // edit's text.
  void Forward(int id, int code) {
    const std::optional<Control> control = ControlOf(id);
    if (!listening_ || !control) return;
    if (code == BN_CLICKED) handlers_.Clicked(*control);
    if (code == EN_CHANGE) handlers_.Changed(*control);
  }

  Handlers& handlers_;
  bool listening_ = false;
};

}  // namespace zenor9::win32
