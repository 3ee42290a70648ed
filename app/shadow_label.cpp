#include "app/shadow_label.h"

#include <QEvent>
#include <QPainter>

namespace zenor9 {

ShadowLabel::ShadowLabel(QWidget* parent) : QLabel(parent) {
  setAutoFillBackground(false);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ShadowLabel::setText(const QString& text) {
  QLabel::setText(text);
  resize(sizeHint());
}

QSize ShadowLabel::sizeHint() const {
  const QFontMetrics metrics(font());
  // One pixel more each way for the shadow.
  return {metrics.horizontalAdvance(text()) + 1, metrics.height() + 1};
}

void ShadowLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange) resize(sizeHint());
}

void ShadowLabel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  painter.setFont(font());
  const QRect place = rect().adjusted(1, 1, 0, 0);
  painter.setPen(Qt::black);
  painter.drawText(place.translated(-1, -1), Qt::AlignLeft | Qt::AlignTop, text());
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(place, Qt::AlignLeft | Qt::AlignTop, text());
}

}  // namespace zenor9
