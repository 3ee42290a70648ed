// A label drawn with a one-pixel shadow: the text in black one pixel up and to
// the left, then in its own colour in place, on an opaque face-coloured ground.
// It takes the size of its text.
#pragma once

#include <QLabel>

namespace zenor9 {

class ShadowLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ShadowLabel(QWidget* parent = nullptr);

  // Sets the text and fits the label to it.
  void setText(const QString& text);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
};

}  // namespace zenor9
