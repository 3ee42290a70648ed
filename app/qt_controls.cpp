#include "app/qt_controls.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <stdexcept>

namespace zenor9 {

QWidget& ControlWidget(const QWidget& window, Control control) {
  auto* widget = window.findChild<QWidget*>(ControlName(control));
  if (widget == nullptr) {
    throw std::logic_error(std::string("no control ") + ControlName(control) + " in this window");
  }
  return *widget;
}

std::string ControlText(const QWidget& widget) {
  if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) return edit->text().toStdString();
  if (const auto* label = qobject_cast<const QLabel*>(&widget)) return label->text().toStdString();
  if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
    return button->text().toStdString();
  }
  return {};
}

void SetControlText(QWidget& widget, const std::string& text) {
  const QString shown = QString::fromStdString(text);
  if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
    edit->setText(shown);
  } else if (auto* label = qobject_cast<QLabel*>(&widget)) {
    label->setText(shown);
  } else if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
    button->setText(shown);
  }
}

bool ControlChecked(const QWidget& widget) {
  const auto* button = qobject_cast<const QAbstractButton*>(&widget);
  return button != nullptr && button->isChecked();
}

void SetControlChecked(QWidget& widget, bool checked) {
  if (auto* button = qobject_cast<QAbstractButton*>(&widget)) button->setChecked(checked);
}

}  // namespace zenor9
