#include "handlers/spin_field.h"

#include <algorithm>
#include <limits>

namespace zenor9 {

SpinRange SpinRangeOf(Control control) {
  const forms::Control* described = forms::Find(ControlName(control));
  return described != nullptr ? described->range : SpinRange{};
}

std::optional<int> ParseWholeNumber(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  const int64_t limit = negative ? -int64_t{std::numeric_limits<int>::min()}
                                 : int64_t{std::numeric_limits<int>::max()};
  int64_t magnitude = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<int>(negative ? -magnitude : magnitude);
}

int SpinValue(std::string_view text, SpinRange range) {
  return ParseWholeNumber(text).value_or(range.min);
}

std::string SpinText(int64_t value, SpinRange range) {
  if (range.min != range.max) value = std::clamp<int64_t>(value, range.min, range.max);
  value =
      std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  return std::to_string(value);
}

std::string SteppedText(std::string_view text, int delta, SpinRange range) {
  return SpinText(int64_t{SpinValue(text, range)} + delta, range);
}

std::optional<std::string> TextBroughtIntoRange(std::string_view text, SpinRange range) {
  const std::optional<int> number = ParseWholeNumber(text);
  if (!number || range.min == range.max || (*number >= range.min && *number <= range.max)) {
    return std::nullopt;
  }
  return SpinText(*number, range);
}

bool SpinFieldAccepts(char32_t character) {
  return (character >= U'0' && character <= U'9') || character == U'+' || character == U'-' ||
         character < 0x20 || character == 0x7F;
}

}  // namespace zenor9
