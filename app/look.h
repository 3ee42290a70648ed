// Fonts of the windows. The layouts are fixed pixel positions, so the fonts are
// given in pixels too. The face a window's description names is asked for
// first ("MS Sans Serif", "Times New Roman"), then the faces with its metrics
// (Liberation). Where those are missing and the face that stands in is wider,
// a window takes the largest font, of that face or of a narrower installed
// one, at which every text fits its control.
#pragma once

#include <QFont>
#include <QStringList>
#include <map>
#include <string_view>

#include "app/text_fit.h"
#include "forms/forms.h"

namespace zenor9 {

// The face `font` names, with the faces that share its metrics after it.
QFont PixelFont(const forms::Font& font);
// Installed faces tried after those, closest look first, narrow last.
const QStringList& Fallbacks(const forms::Font& font);

// `wanted` when every text fits its room in it. Otherwise the font at the
// largest pixel size, down to a smallest readable one, at which every text
// fits: of the face `wanted` resolves to or of an installed fallback, the
// earlier one at equal sizes. When none fits, `wanted` at that smallest size.
QFont FittingFont(const QFont& wanted, const QStringList& fallbacks,
                  const std::vector<ShownText>& texts);

// Gives each control of `form` that has a style of its own its colour and its
// font, fitted to its text, or to each of its texts in `shown` where it is
// named there; then gives `window` the form's font, fitted to the texts of
// the other controls.
void ApplyFonts(QWidget& window, const forms::Form& form,
                const std::map<std::string_view, QStringList>& shown = {});

}  // namespace zenor9
