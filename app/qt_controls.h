// A window's controls as the handlers see them (handlers/view.h), over the Qt
// widgets that carry the controls' names. Writing a state emits the widget's
// own signal, which the window forwards to the handlers before the call
// returns.
#pragma once

#include <QWidget>
#include <string>

#include "handlers/view.h"

namespace zenor9 {

// The widget of `control` among the window's children; an error when the
// window has none (a control of the other window).
QWidget& ControlWidget(const QWidget& window, Control control);
std::string ControlText(const QWidget& widget);
void SetControlText(QWidget& widget, const std::string& text);
bool ControlChecked(const QWidget& widget);
void SetControlChecked(QWidget& widget, bool checked);

template <typename View>
class QtControls : public View {
 public:
  explicit QtControls(QWidget& window) : window_(window) {}

  std::string Text(Control control) const override { return ControlText(Widget(control)); }
  void SetText(Control control, const std::string& text) override {
    SetControlText(Widget(control), text);
  }
  bool Checked(Control control) const override { return ControlChecked(Widget(control)); }
  void SetChecked(Control control, bool checked) override {
    SetControlChecked(Widget(control), checked);
  }
  bool Enabled(Control control) const override { return Widget(control).isEnabled(); }
  void SetEnabled(Control control, bool enabled) override { Widget(control).setEnabled(enabled); }
  void SetToolTip(Control control, const std::string& text) override {
    Widget(control).setToolTip(QString::fromStdString(text));
  }
  void RepaintNow(Control control) override { Widget(control).repaint(); }

 private:
  QWidget& Widget(Control control) const { return ControlWidget(window_, control); }

  QWidget& window_;
};

}  // namespace zenor9
