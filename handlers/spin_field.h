// The integer spin edit apart from its toolkit: how its text reads as a value,
// how a value is written back within the range, which characters it accepts.
// Both front ends' spin edits use these, so that they agree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "forms/forms.h"
#include "handlers/view.h"

namespace zenor9 {

using forms::SpinRange;

// The range the window gives `control`; no range for a control that is no
// spin edit.
SpinRange SpinRangeOf(Control control);

// "[+|-]digits" that fits an int; anything else (empty, a lone sign, blanks,
// letters, other scripts' digits, too many digits) gives nothing.
std::optional<int> ParseWholeNumber(std::string_view text);
// The text as a value: the whole number it spells, else the minimum.
int SpinValue(std::string_view text, SpinRange range);
// `value` brought into the range (unless it has none), as decimal text.
std::string SpinText(int64_t value, SpinRange range);
// The text after a step of `delta` from the value as read.
std::string SteppedText(std::string_view text, int delta, SpinRange range);
// The text a field rewrites itself to when it loses the focus: only a whole
// number outside the range is brought into it; anything else stays as it is.
std::optional<std::string> TextBroughtIntoRange(std::string_view text, SpinRange range);
// Typed characters that reach the text: digits, the two signs and control
// characters. Any other is refused with a beep.
bool SpinFieldAccepts(char32_t character);

}  // namespace zenor9
