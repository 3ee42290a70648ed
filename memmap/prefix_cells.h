// How the register keeps the prefix of the local barcode for weighed goods: its
// two characters in the two prefix cells, tens first, or 0xFF in both when no
// local barcode is used.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zenor9 {

// The bytes of the tens cell and of the units cell.
using PrefixCells = std::array<uint8_t, 2>;

inline constexpr uint8_t kPrefixNotUsed = 0xFF;
inline constexpr PrefixCells kCellsNotUsed{kPrefixNotUsed, kPrefixNotUsed};
inline constexpr int kLowestPrefix = 20;
inline constexpr int kHighestPrefix = 29;

// True for exactly two decimal digits forming a number from 20 to 29.
constexpr bool IsValidPrefixText(std::string_view text) {
  return text.size() == 2 && text[0] == '2' && text[1] >= '0' && text[1] <= '9';
}

// The cells of a prefix from 20 to 29; nothing for any other text.
constexpr std::optional<PrefixCells> CellsOfPrefix(std::string_view text) {
  if (!IsValidPrefixText(text)) return std::nullopt;
  return PrefixCells{static_cast<uint8_t>(text[0]), static_cast<uint8_t>(text[1])};
}

// True when the cells say that no local barcode is used: 0xFF in either.
constexpr bool PrefixCellsSayNotUsed(const PrefixCells& cells) {
  return cells[0] == kPrefixNotUsed || cells[1] == kPrefixNotUsed;
}

}  // namespace zenor9
