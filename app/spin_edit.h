// An integer field with a spin button: it stores only its text, and reads and
// writes its value through that text within a range. Typed and pasted text is
// not checked against the range until the field loses the focus, and every
// change of the text, by the user or by the program, emits textChanged once.
#pragma once

#include <QLineEdit>
#include <QTimer>

#include "handlers/spin_field.h"

namespace zenor9 {

// The spin button: its upper-left half (split along the diagonal) steps up, its
// lower-right half down; held down, it repeats after 400 ms, then every 100 ms.
class SpinButton : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kFirstRepeatMs = 400;
  static constexpr int kRepeatMs = 100;

  explicit SpinButton(QWidget* parent = nullptr);

 signals:
  void pressed();
  void stepped(int delta);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  bool InUpperHalf(const QPoint& point) const;
  void Repeat();
  void Stop();

  QTimer repeat_;
  int heldDelta_ = 0;  // the step of the half held down, 0 when none is
};

class IntegerSpinEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit IntegerSpinEdit(QWidget* parent = nullptr);

  SpinRange range() const { return range_; }
  void setRange(SpinRange range) { range_ = range; }

  // The text as a whole number; the minimum when it is not one.
  int value() const;
  // Brings `value` into the range (unless minimum and maximum are equal) and
  // writes it as text; a text that stays the same emits nothing.
  void setValue(qint64 value);
  // Adds `delta` to the value as read and writes the result.
  void stepBy(int delta);

  SpinButton* spinButton() const { return button_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void EnforceRange();
  void PlaceButton();

  SpinButton* button_;
  SpinRange range_;
};

}  // namespace zenor9
