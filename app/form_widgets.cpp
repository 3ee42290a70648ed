#include "app/form_widgets.h"

#include <QCheckBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <map>
#include <stdexcept>

#include "app/qt_controls.h"
#include "app/shadow_label.h"
#include "app/spin_edit.h"
#include "app/title_bar.h"

// The images are compiled into a static library: nothing would pull them into
// the program without this call, which must stand outside any namespace.
static void LoadResources() {
  Q_INIT_RESOURCE(resources);
}

namespace zenor9 {

namespace {

using forms::Kind;

QIcon ImageNamed(const char* name) {
  return QIcon(QString(":/icons/%1.svg").arg(name));
}

// A panel that can show a caption: a label in a raised one-pixel frame.
QLabel* MakePanel(QWidget& parent) {
  auto* panel = new QLabel(&parent);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Raised);
  panel->setLineWidth(1);
  panel->setTextFormat(Qt::PlainText);
  panel->setAlignment(Qt::AlignCenter);
  return panel;
}

QToolButton* MakeToolButton(QWidget& parent, const forms::Form& form, int image) {
  auto* button = new QToolButton(&parent);
  // A click on the tool bar leaves the focus, and the text being typed, where they are.
  button->setFocusPolicy(Qt::NoFocus);
  button->setIcon(ImageNamed(form.images[static_cast<std::size_t>(image)]));
  button->setIconSize({form.imageSize, form.imageSize});
  button->setAutoRaise(true);
  return button;
}

QFrame* MakeDivider(QWidget& parent) {
  auto* line = new QFrame(&parent);
  line->setFrameShape(QFrame::VLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

IntegerSpinEdit* MakeSpinEdit(QWidget& parent, forms::SpinRange range) {
  auto* edit = new IntegerSpinEdit(&parent);
  edit->setRange(range);
  return edit;
}

QLabel* MakeLabel(QWidget& parent) {
  auto* label = new QLabel(&parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(false);
  return label;
}

QWidget* MakeWidget(const forms::Control& control, const forms::Form& form, QWidget& parent) {
  switch (control.kind) {
    case Kind::Panel:
      return MakePanel(parent);
    case Kind::ToolBar:
      return new QWidget(&parent);
    case Kind::ToolButton:
      return MakeToolButton(parent, form, control.image);
    case Kind::Divider:
      return MakeDivider(parent);
    case Kind::SpinEdit:
      return MakeSpinEdit(parent, control.range);
    case Kind::Label:
      return MakeLabel(parent);
    case Kind::ShadowLabel:
      return new ShadowLabel(&parent);
    case Kind::CheckBox:
      return new QCheckBox(&parent);
    case Kind::RadioButton:
      return new QRadioButton(&parent);
    case Kind::PushButton:
      return new QPushButton(&parent);
  }
  throw std::logic_error("a control of no known kind");
}

// Qt breaks lines at LF alone.
QString TextShown(const char* text) {
  return QString::fromUtf8(text).replace("\r\n", "\n");
}

void SetUp(QWidget& widget, const forms::Control& control) {
  widget.setObjectName(control.name);
  widget.setGeometry(control.rect.left, control.rect.top, control.rect.width, control.rect.height);
  widget.setEnabled(control.enabled);
  if (*control.hint != '\0') widget.setToolTip(QString::fromUtf8(control.hint));
  if (auto* button = qobject_cast<QAbstractButton*>(&widget)) button->setChecked(control.checked);
  // After the geometry: the footer label then takes the size of its text.
  if (auto* label = qobject_cast<ShadowLabel*>(&widget)) {
    label->setText(TextShown(control.text));
  } else {
    SetControlText(widget, TextShown(control.text).toStdString());
  }
}

void SetFrame(QWidget& window, forms::Frame frame) {
  if (frame == forms::Frame::Dialog) {
    ShowCaptionOnly(window);
  } else {
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint);
  }
}

void SetTabOrder(const QWidget& window, const forms::Form& form) {
  QWidget* previous = nullptr;
  for (const forms::Control* control : forms::InTabOrder(form)) {
    if (!forms::TakesFocus(control->kind)) continue;
    auto* widget = window.findChild<QWidget*>(control->name);
    if (previous != nullptr) QWidget::setTabOrder(previous, widget);
    previous = widget;
  }
}

}  // namespace

void BuildForm(QWidget& window, const forms::Form& form) {
  LoadResources();
  window.setObjectName(form.name);
  window.resize(form.clientWidth, form.clientHeight);
  window.setWindowTitle(QString::fromUtf8(form.caption));
  if (form.icon != nullptr) window.setWindowIcon(ImageNamed(form.icon));
  std::map<std::string_view, QWidget*> made;
  for (const forms::Control& control : form.controls) {
    QWidget& parent = control.parent == nullptr ? window : *made.at(control.parent);
    QWidget* widget = MakeWidget(control, form, parent);
    SetUp(*widget, control);
    made[control.name] = widget;
  }
  SetTabOrder(window, form);
  SetFrame(window, form.frame);
  window.setFixedSize(window.size());
}

void ForwardEvents(QWidget& window, const forms::Form& form, Handlers& handlers) {
  for (const forms::Control& item : form.controls) {
    const std::optional<Control> control = ControlNamed(item.name);
    if (!control) continue;
    const auto clicked = [&handlers, c = *control] { handlers.Clicked(c); };
    QWidget& widget = ControlWidget(window, *control);
    // A check box's click event is any change of its state, the program's too.
    if (auto* box = qobject_cast<QCheckBox*>(&widget)) {
      QObject::connect(box, &QCheckBox::toggled, &window, clicked);
    } else if (auto* button = qobject_cast<QAbstractButton*>(&widget)) {
      QObject::connect(button, &QAbstractButton::clicked, &window, clicked);
    } else if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
      QObject::connect(edit, &QLineEdit::textChanged, &window,
                       [&handlers, c = *control] { handlers.Changed(c); });
    }
  }
}

}  // namespace zenor9
