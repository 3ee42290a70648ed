// How the register keeps the prefix of the local barcode for weighed goods: its
// two characters in the two prefix cells, or 0xFF in both when no local barcode
// is used.
#pragma once

#include <cstdint>
#include <string_view>

namespace zenor9 {

inline constexpr uint8_t kPrefixNotUsed = 0xFF;
inline constexpr int kLowestPrefix = 20;
inline constexpr int kHighestPrefix = 29;

// True for exactly two decimal digits forming a number from 20 to 29.
constexpr bool IsValidPrefixText(std::string_view text) {
  return text.size() == 2 && text[0] == '2' && text[1] >= '0' && text[1] <= '9';
}

// True when the cells say that no local barcode is used.
constexpr bool PrefixCellsSayNotUsed(uint8_t tens, uint8_t units) {
  return tens == kPrefixNotUsed || units == kPrefixNotUsed;
}

}  // namespace zenor9
