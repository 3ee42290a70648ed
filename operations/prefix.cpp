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

}  // namespace

PrefixReading ReadPrefixCells(Session& session, const ExchangePolicy& policy) {
  PrefixReading reading;
  if (!ReadCell(session, policy, PrefixCell::Tens, reading.tens, reading.retries)) {
    reading.failedCell = PrefixCell::Tens;
  } else if (reading.tens != kPrefixNotUsed &&
             !ReadCell(session, policy, PrefixCell::Units, reading.units, reading.retries)) {
    reading.failedCell = PrefixCell::Units;
  }
  return reading;
}

std::optional<PrefixCells> ReadBothPrefixCells(Session& session, const ExchangePolicy& policy,
                                               int& retried) {
  PrefixCells cells{};
  if (!ReadCell(session, policy, PrefixCell::Tens, cells[0], retried) ||
      !ReadCell(session, policy, PrefixCell::Units, cells[1], retried)) {
    return std::nullopt;
  }
  return cells;
}

PrefixWriting WritePrefixCells(Session& session, const PrefixCells& cells,
                               const ExchangePolicy& policy) {
  PrefixWriting writing;
  if (!WriteCell(session, policy, PrefixCell::Tens, cells[0], writing.retries)) {
    writing.failedCell = PrefixCell::Tens;
  } else if (!WriteCell(session, policy, PrefixCell::Units, cells[1], writing.retries)) {
    writing.failedCell = PrefixCell::Units;
  }
  return writing;
}

}  // namespace zenor9
