#include "app/text_fit.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <algorithm>

#include "app/shadow_label.h"

namespace zenor9 {

namespace {

QSize ButtonTextRoom(const QAbstractButton& button, QStyle::SubElement contents) {
  QStyleOptionButton option;
  option.initFrom(&button);
  option.text = button.text();
  return button.style()->subElementRect(contents, &option, &button).size();
}

// The shadow takes one pixel right of and below the text.
QSize ShadowLabelTextRoom(const ShadowLabel& label) {
  const QWidget* parent = label.parentWidget();
  if (parent == nullptr) return label.size() - QSize(1, 1);
  const QRect contents = parent->contentsRect();
  return {contents.right() - label.x(), contents.bottom() - label.y()};
}

}  // namespace

QSize TextRoom(const QWidget& control) {
  if (const auto* label = qobject_cast<const ShadowLabel*>(&control))
    return ShadowLabelTextRoom(*label);
  if (const auto* label = qobject_cast<const QLabel*>(&control))
    return label->contentsRect().marginsRemoved(QMargins() + label->margin()).size();
  if (const auto* box = qobject_cast<const QCheckBox*>(&control))
    return ButtonTextRoom(*box, QStyle::SE_CheckBoxContents);
  if (const auto* radio = qobject_cast<const QRadioButton*>(&control))
    return ButtonTextRoom(*radio, QStyle::SE_RadioButtonContents);
  if (const auto* button = qobject_cast<const QPushButton*>(&control))
    return ButtonTextRoom(*button, QStyle::SE_PushButtonContents);
  return {};
}

QString TextOf(const QWidget& control) {
  if (const auto* label = qobject_cast<const QLabel*>(&control)) return label->text();
  if (const auto* button = qobject_cast<const QAbstractButton*>(&control)) return button->text();
  return {};
}

QSize TextSize(const QFontMetrics& metrics, const QString& text) {
  const QStringList lines = text.split(QLatin1Char('\n'));
  int width = 0;
  for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
  // A font's line spacing may be less than its height (negative leading):
  // each line still needs its whole height.
  const int step = std::max(metrics.height(), metrics.lineSpacing());
  return {width, step * static_cast<int>(lines.size() - 1) + metrics.height()};
}

bool Fits(const QFontMetrics& metrics, const ShownText& text) {
  const QSize size = TextSize(metrics, text.text);
  return size.width() <= text.room.width() && size.height() <= text.room.height();
}

std::vector<ShownText> TextsInWindowFont(const QWidget& window) {
  std::vector<ShownText> texts;
  for (const QWidget* control : window.findChildren<QWidget*>()) {
    if (control->testAttribute(Qt::WA_SetFont)) continue;
    const QString text = TextOf(*control);
    const QSize room = TextRoom(*control);
    if (!text.isEmpty() && room.isValid()) texts.push_back({text, room});
  }
  return texts;
}

}  // namespace zenor9
