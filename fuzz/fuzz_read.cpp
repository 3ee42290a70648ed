// ReadRegisterByte against any answers at any times. A read may succeed only when
// the register echoed its address, acknowledged with the request's check byte and
// sent a 3-byte reply that adds up to 0xFF; it never outlasts its three waits and
// stops as soon as the device goes away.
#include <array>

#include "fuzz/harness.h"
#include "link/commands.h"

using namespace zenor9;
using namespace zenor9::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Session session({data, size});
  const uint8_t address = AddressByteOf(session.Input().netNumber);
  const uint16_t ram = session.Input().ramAddress;
  uint8_t value = 0;
  const bool ok = ReadRegisterByte(session.Channel(), address, ram, value);

  const std::array<uint8_t, 5> body{0x04, 0x06, static_cast<uint8_t>(ram & 0xFF),
                                    static_cast<uint8_t>(ram >> 8), 0x01};
  const std::vector<uint8_t> request = RequestFrame(body);
  const uint8_t check = request.back();
  const std::vector<WrittenBytes>& writes = session.Port().Writes();
  const std::vector<uint8_t> got = DeliveredValues(session.Port());

  CheckAddressThenRequest(session, address, request);
  if (ok) {
    FUZZ_CHECK(writes.size() == 2);
    FUZZ_CHECK(got.size() == 5 && got[0] == address && got[1] == check);
    FUZZ_CHECK(AddsUpToFF(std::span(got).subspan(2)));
    FUZZ_CHECK(value == got[3]);
  }
  // Three waits of 500, 700 and 700 ms, each over only when more has passed.
  FUZZ_CHECK(session.ElapsedMs() <= 501 + 701 + 701);
  if (session.DeviceFailed()) {
    FUZZ_CHECK(!ok);
    FUZZ_CHECK(session.SinceFailureMs() == 0);
  } else if (!ok && got.empty()) {
    FUZZ_CHECK(session.ElapsedMs() > 500);  // no echo: false after the whole wait
  } else if (!ok && (got == std::vector<uint8_t>{address} ||
                     got == std::vector<uint8_t>{address, check})) {
    // The last byte taken was right: what failed is the wait that followed it.
    FUZZ_CHECK(session.Now() - session.Port().Delivered().back().timeMs > 700);
  }
  return 0;
}
