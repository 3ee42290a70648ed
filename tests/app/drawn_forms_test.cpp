// The Qt windows as their descriptions say: a widget of the right class for
// every control, at its rectangle, with its text, hint, state and range, and
// the focus going round the fields in tab order.
#include <QTest>

#include "app/qt_controls.h"
#include "forms/forms.h"
#include "tests/app/app_fixture.h"

namespace zenor9::test {

namespace {

using forms::Kind;

// The widget class of each kind; a panel and a divider are told by their frames.
const std::map<Kind, QString> kClasses{{Kind::Panel, "QLabel"},
                                       {Kind::ToolBar, "QWidget"},
                                       {Kind::ToolButton, "QToolButton"},
                                       {Kind::Divider, "QFrame"},
                                       {Kind::SpinEdit, "zenor9::IntegerSpinEdit"},
                                       {Kind::Label, "QLabel"},
                                       {Kind::ShadowLabel, "zenor9::ShadowLabel"},
                                       {Kind::CheckBox, "QCheckBox"},
                                       {Kind::RadioButton, "QRadioButton"},
                                       {Kind::PushButton, "QPushButton"}};

QFrame::Shape FrameOf(Kind kind) {
  return kind == Kind::Panel     ? QFrame::Panel
         : kind == Kind::Divider ? QFrame::VLine
                                 : QFrame::NoFrame;
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
    QVERIFY2(widget != nullptr, control.name);
    QCOMPARE(widget->metaObject()->className(), kClasses.at(control.kind));
    const auto* frame = qobject_cast<const QFrame*>(widget);
    QCOMPARE(frame != nullptr ? frame->frameShape() : QFrame::NoFrame, FrameOf(control.kind));
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
      QCOMPARE(QPair(edit->range().min, edit->range().max),
               QPair(control.range.min, control.range.max));
    }
  }
  // Tab from the first field goes round the others in tab order.
  QStringList chain;
  const QWidget* first = window.findChild<QWidget*>(tabOrder.front());
  for (const QWidget* widget = first; chain.isEmpty() || widget != first;
       widget = widget->nextInFocusChain()) {
    if (widget->focusPolicy() & Qt::TabFocus) chain << widget->objectName();
  }
  QCOMPARE(chain, tabOrder);
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
