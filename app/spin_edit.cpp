#include "app/spin_edit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

namespace zenor9 {

namespace {

constexpr int kButtonWidth = 15;
constexpr int kFrame = 2;  // the line edit's sunken frame

// Digits, the two signs and control characters reach the text; the field
// refuses every other character.
bool IsAcceptedText(const QString& text) {
  for (const QChar c : text) {
    if (!SpinFieldAccepts(c.unicode())) return false;
  }
  return true;
}

}  // namespace

SpinButton::SpinButton(QWidget* parent) : QWidget(parent) {
  setCursor(Qt::ArrowCursor);
  setFocusPolicy(Qt::NoFocus);
  connect(&repeat_, &QTimer::timeout, this, &SpinButton::Repeat);
}

bool SpinButton::InUpperHalf(const QPoint& point) const {
  // Below the diagonal from the top-right corner to the bottom-left one lies
  // the lower-right half.
  return qint64{point.x()} * height() + qint64{point.y()} * width() < qint64{width()} * height();
}

void SpinButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  emit pressed();
  heldDelta_ = InUpperHalf(event->position().toPoint()) ? 1 : -1;
  update();
  emit stepped(heldDelta_);
  repeat_.start(kFirstRepeatMs);
}

void SpinButton::Repeat() {
  repeat_.setInterval(kRepeatMs);
  emit stepped(heldDelta_);
}

void SpinButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Stop();
}

void SpinButton::Stop() {
  repeat_.stop();
  heldDelta_ = 0;
  update();
}

void SpinButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled()) Stop();
  QWidget::changeEvent(event);
}

void SpinButton::hideEvent(QHideEvent* event) {
  Stop();
  QWidget::hideEvent(event);
}

void SpinButton::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QPalette& pal = palette();
  const int w = width();
  const int h = height();
  painter.fillRect(rect(), pal.button());

  // The half held down is drawn pressed in.
  if (heldDelta_ != 0) {
    const QPolygon half =
        heldDelta_ > 0 ? QPolygon({{0, 0}, {w, 0}, {0, h}}) : QPolygon({{w, 0}, {w, h}, {0, h}});
    painter.setPen(Qt::NoPen);
    painter.setBrush(pal.mid());
    painter.drawPolygon(half);
  }

  painter.setPen(pal.light().color());
  painter.drawLine(0, 0, w - 1, 0);
  painter.drawLine(0, 0, 0, h - 1);
  painter.setPen(pal.dark().color());
  painter.drawLine(w - 1, 0, w - 1, h - 1);
  painter.drawLine(0, h - 1, w - 1, h - 1);
  painter.drawLine(w - 1, 0, 0, h - 1);

  // Small arrows: up in the upper-left corner, down in the lower-right one.
  const QColor arrow = isEnabled() ? pal.buttonText().color() : pal.mid().color();
  painter.setPen(Qt::NoPen);
  painter.setBrush(arrow);
  const int s = qMax(2, qMin(w, h) / 4);
  const QPoint up(w / 3, h / 3);
  const QPoint down(w - w / 3 - 1, h - h / 3 - 1);
  painter.drawPolygon(QPolygon(
      {{up.x() - s, up.y() + s / 2}, {up.x() + s, up.y() + s / 2}, {up.x(), up.y() - s / 2 - 1}}));
  painter.drawPolygon(QPolygon({{down.x() - s, down.y() - s / 2},
                                {down.x() + s, down.y() - s / 2},
                                {down.x(), down.y() + s / 2 + 1}}));
}

IntegerSpinEdit::IntegerSpinEdit(QWidget* parent)
    : QLineEdit(parent), button_(new SpinButton(this)) {
  // The spin button lies inside the field: a click on it is a click into the
  // field, whose focus selects nothing (the step that follows rewrites the
  // text, leaving the cursor at its end). Qt has mostly given the field the
  // focus already, as the press's nearest parent that takes a click's focus.
  connect(button_, &SpinButton::pressed, this, [this] {
    if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  });
  connect(button_, &SpinButton::stepped, this, &IntegerSpinEdit::stepBy);
  setTextMargins(0, 0, kButtonWidth, 0);
  PlaceButton();
}

int IntegerSpinEdit::value() const {
  return SpinValue(text().toStdString(), range_);
}

void IntegerSpinEdit::setValue(qint64 value) {
  setText(QString::fromStdString(SpinText(value, range_)));
}

void IntegerSpinEdit::stepBy(int delta) {
  if (isEnabled())
    setText(QString::fromStdString(SteppedText(text().toStdString(), delta, range_)));
}

void IntegerSpinEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
    stepBy(event->key() == Qt::Key_Up ? 1 : -1);
    return;
  }
  const bool shortcut =
      event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (!shortcut && !IsAcceptedText(event->text())) {
    QApplication::beep();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void IntegerSpinEdit::inputMethodEvent(QInputMethodEvent* event) {
  // What an input method commits is typed text too: the same characters only.
  if (IsAcceptedText(event->commitString())) {
    QLineEdit::inputMethodEvent(event);
    return;
  }
  QApplication::beep();
  QInputMethodEvent refused(event->preeditString(), event->attributes());
  QLineEdit::inputMethodEvent(&refused);
}

void IntegerSpinEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  // Coming back to the window or from a menu keeps the selection as it was; a
  // click places the cursor; any other way in selects the whole text.
  const Qt::FocusReason reason = event->reason();
  if (reason != Qt::MouseFocusReason && reason != Qt::ActiveWindowFocusReason &&
      reason != Qt::PopupFocusReason) {
    selectAll();
  }
}

void IntegerSpinEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // Only leaving the field for another control of the window counts: a message
  // box or another window taking over leaves the text as the user typed it.
  const Qt::FocusReason reason = event->reason();
  if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) EnforceRange();
}

void IntegerSpinEdit::EnforceRange() {
  const std::optional<std::string> inRange = TextBroughtIntoRange(text().toStdString(), range_);
  if (inRange) setText(QString::fromStdString(*inRange));
}

void IntegerSpinEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  PlaceButton();
}

void IntegerSpinEdit::PlaceButton() {
  button_->setGeometry(width() - kFrame - kButtonWidth, kFrame, kButtonWidth,
                       height() - 2 * kFrame);
}

}  // namespace zenor9
