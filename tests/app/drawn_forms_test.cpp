// The Qt windows as their descriptions say: a widget of the right kind for
// every control, at its rectangle, with its text, hint, state and range, and
// Tab going round the fields in tab order.
#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QTest>

#include "app/qt_controls.h"
#include "app/shadow_label.h"
#include "forms/forms.h"
#include "tests/app/app_fixture.h"

namespace zenor9::test {

namespace {

using forms::Kind;

bool OfKind(const QWidget& widget, Kind kind) {
  switch (kind) {
    case Kind::Panel:
      return qobject_cast<const QFrame*>(&widget) != nullptr &&
             static_cast<const QFrame&>(widget).frameShape() == QFrame::Panel;
    case Kind::ToolBar:
      return widget.metaObject() == &QWidget::staticMetaObject;
    case Kind::ToolButton:
      return qobject_cast<const QToolButton*>(&widget) != nullptr;
    case Kind::Divider:
      return qobject_cast<const QFrame*>(&widget) != nullptr &&
             static_cast<const QFrame&>(widget).frameShape() == QFrame::VLine;
    case Kind::SpinEdit:
      return qobject_cast<const IntegerSpinEdit*>(&widget) != nullptr;
    case Kind::Label:
      return widget.metaObject() == &QLabel::staticMetaObject;
    case Kind::ShadowLabel:
      return qobject_cast<const ShadowLabel*>(&widget) != nullptr;
    case Kind::CheckBox:
      return qobject_cast<const QCheckBox*>(&widget) != nullptr;
    case Kind::RadioButton:
      return qobject_cast<const QRadioButton*>(&widget) != nullptr;
    case Kind::PushButton:
      return qobject_cast<const QPushButton*>(&widget) != nullptr;
  }
  return false;
}

// The names of the widgets Tab stops at, from `first` round to it again.
QStringList TabChain(QWidget* first) {
  QStringList chain;
  QWidget* widget = first;
  do {
    if (widget->focusPolicy() & Qt::TabFocus) chain << widget->objectName();
    widget = widget->nextInFocusChain();
  } while (widget != first && chain.size() < 50);
  return chain;
}

void ExpectDrawn(const QWidget& window, const forms::Form& form) {
  QCOMPARE(window.windowTitle(), QString::fromUtf8(form.caption));
  QCOMPARE(window.size(), QSize(form.clientWidth, form.clientHeight));
  QStringList tabOrder;
  for (const forms::Control* control : forms::InTabOrder(form)) {
    if (forms::TakesFocus(control->kind)) tabOrder << control->name;
  }
  for (const forms::Control& control : form.controls) {
    const auto* widget = window.findChild<QWidget*>(control.name);
    QVERIFY2(widget != nullptr && OfKind(*widget, control.kind), control.name);
    const QRect rect(control.rect.left, control.rect.top, control.rect.width, control.rect.height);
    // The footer label takes the size of its text.
    QCOMPARE(
        control.kind == Kind::ShadowLabel ? QRect(widget->pos(), rect.size()) : widget->geometry(),
        rect);
    QCOMPARE(QString::fromStdString(ControlText(*widget)),
             QString::fromUtf8(control.text).replace("\r\n", "\n"));
    QCOMPARE(widget->toolTip(), QString::fromUtf8(control.hint));
    QCOMPARE(widget->isEnabled(), control.enabled);
    QCOMPARE(ControlChecked(*widget), control.checked);
    QCOMPARE(bool(widget->focusPolicy() & Qt::TabFocus), forms::TakesFocus(control.kind));
    if (const auto* edit = qobject_cast<const IntegerSpinEdit*>(widget)) {
      QCOMPARE(edit->range().min, control.range.min);
      QCOMPARE(edit->range().max, control.range.max);
    }
  }
  QCOMPARE(TabChain(window.findChild<QWidget*>(tabOrder.front())), tabOrder);
}

}  // namespace

class DrawnFormsTest : public QObject {
  Q_OBJECT

 private slots:
  void BothWindowsAreDrawnAsDescribed() {
    Program p;
    ExpectDrawn(*p.form, forms::MainForm());
    ExpectDrawn(*p.dialog, forms::InitCom());
  }
};

ZENOR9_APP_TEST(DrawnFormsTest);

}  // namespace zenor9::test

#include "drawn_forms_test.moc"
