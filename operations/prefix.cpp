#include "operations/prefix.h"

#include "link/commands.h"

namespace zenor9 {

namespace {

uint16_t CellAddress(const Session& session, PrefixCell cell) {
  return cell == PrefixCell::Tens ? session.memoryMap.PrefixTensCell()
                                  : session.memoryMap.PrefixUnitsCell();
}

bool ReadCell(Session& session, const ExchangePolicy& policy, PrefixCell cell, uint8_t& value,
              int& retried) {
  if (!session.IdentifiedInUse()) return false;
  return TryExchange(session.channel, policy, Exchange::ReadCell, session.addressByte, retried,
                     [&] {
                       return ReadRegisterByte(session.channel, session.addressByte,
                                               CellAddress(session, cell), value);
                     });
}

// Writing a cell again is harmless: the same byte lands in the same place.
bool WriteCell(Session& session, const ExchangePolicy& policy, PrefixCell cell, uint8_t value,
               int& retried) {
  if (!session.IdentifiedInUse()) return false;
  return TryExchange(session.channel, policy, Exchange::WriteCell, session.addressByte, retried,
                     [&] {
                       return WriteRegisterByte(session.channel, session.addressByte,
                                                CellAddress(session, cell), value);
                     });
}

// The tens cell, then the units cell unless `unitsAfterNotUsed` is false and
// the tens cell holds 0xFF.
PrefixReading ReadCells(Session& session, const ExchangePolicy& policy, bool unitsAfterNotUsed) {
  PrefixReading reading;
  if (!ReadCell(session, policy, PrefixCell::Tens, reading.tens, reading.retries)) {
    reading.failedCell = PrefixCell::Tens;
  } else if ((unitsAfterNotUsed || reading.tens != kPrefixNotUsed) &&
             !ReadCell(session, policy, PrefixCell::Units, reading.units, reading.retries)) {
    reading.failedCell = PrefixCell::Units;
  }
  reading.portLost = !reading.Succeeded() && PortLost(session.channel);
  return reading;
}

}  // namespace

PrefixReading ReadPrefixCells(Session& session, const ExchangePolicy& policy) {
  return ReadCells(session, policy, false);
}

PrefixReading ReadBothPrefixCells(Session& session, const ExchangePolicy& policy) {
  return ReadCells(session, policy, true);
}

PrefixWriting WritePrefixCells(Session& session, const PrefixCells& cells,
                               const ExchangePolicy& policy) {
  PrefixWriting writing;
  if (!WriteCell(session, policy, PrefixCell::Tens, cells[0], writing.retries)) {
    writing.failedCell = PrefixCell::Tens;
  } else if (!WriteCell(session, policy, PrefixCell::Units, cells[1], writing.retries)) {
    writing.failedCell = PrefixCell::Units;
  }
  writing.portLost = !writing.Succeeded() && PortLost(session.channel);
  return writing;
}

}  // namespace zenor9
