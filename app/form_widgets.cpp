#include "app/form_widgets.h"

#include <QCheckBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
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

QLabel* PlainLabel(QWidget& parent, Qt::Alignment alignment) {
  auto* label = new QLabel(&parent);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(alignment);
  return label;
}

QFrame* Framed(QFrame* frame, QFrame::Shape shape, QFrame::Shadow shadow) {
  frame->setFrameShape(shape);
  frame->setFrameShadow(shadow);
  return frame;
}

QToolButton* ToolButton(QWidget& parent, const forms::Form& form, int image) {
  auto* button = new QToolButton(&parent);
  // A click on the tool bar leaves the focus, and the text being typed, where they are.
  button->setFocusPolicy(Qt::NoFocus);
  button->setIcon(ImageNamed(form.images[static_cast<std::size_t>(image)]));
  button->setIconSize({form.imageSize, form.imageSize});
  button->setAutoRaise(true);
  return button;
}

QWidget* MakeWidget(const forms::Control& control, const forms::Form& form, QWidget& parent) {
  switch (control.kind) {
    case Kind::Panel:  // a label, so that it can show a caption
      return Framed(PlainLabel(parent, Qt::AlignCenter), QFrame::Panel, QFrame::Raised);
    case Kind::ToolBar:
      return new QWidget(&parent);
    case Kind::ToolButton:
      return ToolButton(parent, form, control.image);
    case Kind::Divider:
      return Framed(new QFrame(&parent), QFrame::VLine, QFrame::Sunken);
    case Kind::SpinEdit: {
      auto* edit = new IntegerSpinEdit(&parent);
      edit->setRange(control.range);
      return edit;
    }
    case Kind::Label:
      return PlainLabel(parent, Qt::AlignLeft | Qt::AlignTop);
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

void SetUp(QWidget& widget, const forms::Control& control) {
  widget.setObjectName(control.name);
  widget.setGeometry(control.rect.left, control.rect.top, control.rect.width, control.rect.height);
  widget.setEnabled(control.enabled);
  widget.setToolTip(QString::fromUtf8(control.hint));
  SetControlChecked(widget, control.checked);
  // Qt breaks lines at LF alone. The footer label takes the size of its text.
  const QString text = QString::fromUtf8(control.text).replace("\r\n", "\n");
  if (auto* label = qobject_cast<ShadowLabel*>(&widget)) {
    label->setText(text);
  } else {
    SetControlText(widget, text.toStdString());
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

void SetFrame(QWidget& window, forms::Frame frame) {
  if (frame == forms::Frame::Dialog) return ShowCaptionOnly(window);
  window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                        Qt::WindowCloseButtonHint);
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
    made[control.name] = MakeWidget(control, form, parent);
    SetUp(*made[control.name], control);
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

void CenterOnScreen(QWidget& window) {
  // The window itself, not its frame: a frame that a window manager adds
  // later would otherwise shift it by half a title bar.
  if (const QScreen* display = window.screen()) {
    QRect area = window.geometry();
    area.moveCenter(display->geometry().center());
    window.setGeometry(area);
  }
}

}  // namespace zenor9
