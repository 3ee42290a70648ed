#include "prefix/prefix_io.h"

#include "link/commands.h"
#include "memmap/prefix_cells.h"

namespace zenor9 {

namespace {

uint16_t CellAddress(const PrefixRegister& reg, PrefixCell cell) {
  return cell == PrefixCell::Tens ? reg.memoryMap.PrefixTensCell()
                                  : reg.memoryMap.PrefixUnitsCell();
}

bool ReadCell(const PrefixRegister& reg, PrefixCell cell, uint8_t& value) {
  return ReadRegisterByte(reg.channel, reg.addressByte, CellAddress(reg, cell), value);
}

}  // namespace

bool PrefixReading::NotUsed() const {
  return Succeeded() && (tens == kPrefixNotUsed || units == kPrefixNotUsed);
}

PrefixReading ReadPrefixCells(const PrefixRegister& reg) {
  PrefixReading reading;
  if (!ReadCell(reg, PrefixCell::Tens, reading.tens)) {
    reading.failedCell = PrefixCell::Tens;
  } else if (reading.tens != kPrefixNotUsed && !ReadCell(reg, PrefixCell::Units, reading.units)) {
    reading.failedCell = PrefixCell::Units;
  }
  return reading;
}

bool ReadBothPrefixCells(const PrefixRegister& reg, std::array<uint8_t, 2>& cells) {
  return ReadCell(reg, PrefixCell::Tens, cells[0]) && ReadCell(reg, PrefixCell::Units, cells[1]);
}

bool WritePrefixCells(const PrefixRegister& reg, const std::array<uint8_t, 2>& cells) {
  return WriteRegisterByte(reg.channel, reg.addressByte, CellAddress(reg, PrefixCell::Tens),
                           cells[0]) &&
         WriteRegisterByte(reg.channel, reg.addressByte, CellAddress(reg, PrefixCell::Units),
                           cells[1]);
}

}  // namespace zenor9
