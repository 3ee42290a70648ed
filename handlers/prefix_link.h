// The two prefix cells over the link, as the handlers move them: the one place
// that calls the register commands for the prefix.
#pragma once

#include <cstdint>
#include <string>

#include "handlers/app_state.h"

namespace zenor9 {

struct PrefixCellsReading {
  enum class Outcome {
    Prefix,       // both cells hold a character
    NotUsed,      // a cell holds 0xFF; after a tens cell of 0xFF the units cell is not read
    TensFailed,   // no valid answer for the tens cell
    UnitsFailed,  // the tens cell held a character, the units cell gave no valid answer
  };
  Outcome outcome = Outcome::TensFailed;
  std::string cells;  // the characters read before the outcome, as bytes
};

// Reads the tens cell, then, unless it failed or held 0xFF, the units cell, at
// the cells of the selected memory map, from the register at the address byte.
PrefixCellsReading ReadPrefixCells(AppState& state);
// Writes the tens cell, then, if that was acknowledged, the units cell. True
// when both were; a failed second write leaves the first cell written.
bool WritePrefixCells(AppState& state, uint8_t tens, uint8_t units);

}  // namespace zenor9
