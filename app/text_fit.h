// Whether a control's text shows whole: the room a control gives its text in
// its fixed rectangle, and the size a text takes in a font.
#pragma once

#include <QFontMetrics>
#include <QSize>
#include <QString>
#include <QWidget>
#include <vector>

namespace zenor9 {

// A text and the room a control gives it.
struct ShownText {
  QString text;
  QSize room;
};

// The part of `control` its text is drawn in: beside a check box's or radio
// button's mark, inside a push button's bevel, inside a label's frame. A label
// that sizes itself to its text may grow up to the edge of its parent's
// contents. An empty size for a control that shows no text of its own.
QSize TextRoom(const QWidget& control);

// The text a label or a button shows; empty for other controls.
QString TextOf(const QWidget& control);

// The size `text` takes: its widest line by its lines' height.
QSize TextSize(const QFontMetrics& metrics, const QString& text);

// Whether `text` fits `room` whole in `metrics`.
bool Fits(const QFontMetrics& metrics, const ShownText& text);

// The texts of the controls inside `window` that take the window's font (a
// control with a font of its own is left out), each with its room.
std::vector<ShownText> TextsInWindowFont(const QWidget& window);

}  // namespace zenor9
