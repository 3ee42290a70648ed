// The prefix as the register keeps it, moved one cell per command: the read
// and the write that both programs run, with the order of the cells and where
// they stop. Reporting is the caller's.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "link/channel.h"
#include "memmap/ram_list.h"

namespace zenor9 {

// The register whose prefix cells are moved: the open channel, its address byte
// and the memory map of its firmware.
struct PrefixRegister {
  SerialChannel& channel;
  uint8_t addressByte;
  const MemoryMap& memoryMap;
};

enum class PrefixCell : uint8_t { Tens, Units };

// What a prefix read found.
struct PrefixReading {
  std::optional<PrefixCell> failedCell;  // none when the read succeeded
  uint8_t tens = 0;                      // meaningful once the tens cell was read
  uint8_t units = 0;  // meaningful once the units cell was read (never after 0xFF in tens)

  bool Succeeded() const { return !failedCell; }
  bool TensRead() const { return failedCell != PrefixCell::Tens; }
  // A successful read that found 0xFF: no local barcode is used.
  bool NotUsed() const;
};

// The tens cell, then the units cell unless the tens cell holds 0xFF (no local
// barcode). Stops at the first cell that fails.
PrefixReading ReadPrefixCells(const PrefixRegister& reg);

// Both cells whatever the tens cell holds, as a check after a write needs ("off"
// must have reached both). False at the first cell that fails.
bool ReadBothPrefixCells(const PrefixRegister& reg, std::array<uint8_t, 2>& cells);

// The tens cell, then the units cell; true when both were written. Stops at the
// first cell the register does not acknowledge. The register has no roll-back:
// after a failed units cell the tens cell keeps its new value.
bool WritePrefixCells(const PrefixRegister& reg, const std::array<uint8_t, 2>& cells);

}  // namespace zenor9
