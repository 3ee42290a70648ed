// Fonts of the windows. The layouts are fixed pixel positions, so the fonts are
// given in pixels too. The classic Windows faces are asked for first, then the
// faces with their metrics (Liberation). Where those are missing and the face
// that stands in is wider, a window takes the largest font, of that face or of
// a narrower installed one, at which every text fits its control.
#pragma once

#include <QFont>
#include <QLabel>
#include <QStringList>

#include "app/text_fit.h"

namespace zenor9 {

// Every control's font: "MS Sans Serif", 11 pixels.
QFont FormFont();
// The status line: "Times New Roman", bold, 15 pixels.
QFont StatusFont();
// The footer notice: "MS Sans Serif", bold, 13 pixels.
QFont NoticeFont();

// Installed faces tried after the wanted one, closest look first, narrow last.
const QStringList& SansFallbacks();
const QStringList& SerifFallbacks();

// `wanted` when every text fits its room in it. Otherwise the font at the
// largest pixel size, down to a smallest readable one, at which every text
// fits: of the face `wanted` resolves to or of an installed fallback, the
// earlier one at equal sizes. When none fits, `wanted` at that smallest size.
QFont FittingFont(const QFont& wanted, const QStringList& fallbacks,
                  const std::vector<ShownText>& texts);

// Gives `window` the form font, fitted to the texts of its controls that have
// no font of their own.
void FitWindowFont(QWidget& window);
// Gives `label` `wanted`, fitted so that each of `texts` fits it.
void FitLabelFont(QLabel& label, const QFont& wanted, const QStringList& fallbacks,
                  const QStringList& texts);

}  // namespace zenor9
