// The prefix as the register keeps it, moved one cell per command: the tens
// cell first, then the units cell. Each read and write stops at the first cell
// that fails and says which; none runs unless the address byte in use is the
// register that the set-up identified. Reporting is the caller's.
#pragma once

#include <cstdint>
#include <optional>

#include "memmap/prefix_cells.h"
#include "operations/exchange.h"
#include "operations/session.h"

namespace zenor9 {

enum class PrefixCell : uint8_t { Tens, Units };

// What a prefix read found.
struct PrefixReading {
  std::optional<PrefixCell> failedCell;  // none when the read succeeded
  uint8_t tens = 0;                      // meaningful once the tens cell was read
  uint8_t units = 0;  // meaningful once the units cell was read (never after 0xFF in tens)
  int retries = 0;
  bool portLost = false;  // the read failed because the port went away

  bool Succeeded() const { return !failedCell; }
  PrefixCells Cells() const { return {tens, units}; }
  bool TensRead() const { return failedCell != PrefixCell::Tens; }
  // A successful read that found 0xFF: no local barcode is used.
  bool NotUsed() const { return Succeeded() && PrefixCellsSayNotUsed({tens, units}); }
};

// The tens cell, then the units cell unless the tens cell holds 0xFF (no local
// barcode).
PrefixReading ReadPrefixCells(Session& session, const ExchangePolicy& policy = {});

// Both cells whatever the tens cell holds, as a check after a write needs ("off"
// must have reached both).
PrefixReading ReadBothPrefixCells(Session& session, const ExchangePolicy& policy = {});

struct PrefixWriting {
  std::optional<PrefixCell> failedCell;  // none when both cells were written
  int retries = 0;
  bool portLost = false;  // the write failed because the port went away

  bool Succeeded() const { return !failedCell; }
};

// The tens cell, then the units cell. The register has no roll-back: after a
// failed units cell the tens cell keeps its new value.
PrefixWriting WritePrefixCells(Session& session, const PrefixCells& cells,
                               const ExchangePolicy& policy = {});

}  // namespace zenor9
