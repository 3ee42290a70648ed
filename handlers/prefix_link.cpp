#include "handlers/prefix_link.h"

#include "link/commands.h"
#include "memmap/prefix_cells.h"

namespace zenor9 {

PrefixCellsReading ReadPrefixCells(AppState& state) {
  using Outcome = PrefixCellsReading::Outcome;
  PrefixCellsReading reading;
  const uint16_t cells[] = {state.memoryMap.PrefixTensCell(), state.memoryMap.PrefixUnitsCell()};
  for (const uint16_t cell : cells) {
    uint8_t value = 0;
    if (!ReadRegisterByte(state.channel, state.addressByte, cell, value)) {
      reading.outcome = reading.cells.empty() ? Outcome::TensFailed : Outcome::UnitsFailed;
      return reading;
    }
    if (value == kPrefixNotUsed) {
      reading.outcome = Outcome::NotUsed;
      return reading;
    }
    reading.cells += static_cast<char>(value);  // the byte as it is, digit or not
  }
  reading.outcome = Outcome::Prefix;
  return reading;
}

bool WritePrefixCells(AppState& state, uint8_t tens, uint8_t units) {
  return WriteRegisterByte(state.channel, state.addressByte, state.memoryMap.PrefixTensCell(),
                           tens) &&
         WriteRegisterByte(state.channel, state.addressByte, state.memoryMap.PrefixUnitsCell(),
                           units);
}

}  // namespace zenor9
