// WriteRegisterByte against any answers at any times. A write may succeed only
// when the register echoed its address and acknowledged the request with its check
// byte; it never outlasts its two waits and stops as soon as the device goes away.
#include <array>

#include "fuzz/harness.h"
#include "link/commands.h"

using namespace zenor9;
using namespace zenor9::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Session session({data, size});
  const uint8_t address = AddressByteOf(session.Input().netNumber);
  const uint16_t ram = session.Input().ramAddress;
  const uint8_t value = session.Input().value;
  const bool ok = WriteRegisterByte(session.Channel(), address, ram, value);

  const std::array<uint8_t, 6> body{
      0x05, 0x05, static_cast<uint8_t>(ram & 0xFF), static_cast<uint8_t>(ram >> 8), 0x01, value};
  const std::vector<uint8_t> request = RequestFrame(body);
  const uint8_t check = request.back();
  const std::vector<WrittenBytes>& writes = session.Port().Writes();
  const std::vector<uint8_t> got = DeliveredValues(session.Port());

  CheckAddressThenRequest(session, address, request);
  if (ok) {
    FUZZ_CHECK(writes.size() == 2);
    FUZZ_CHECK((got == std::vector<uint8_t>{address, check}));
  }
  FUZZ_CHECK(session.ElapsedMs() <= 501 + 701);
  if (session.DeviceFailed()) {
    FUZZ_CHECK(!ok);
    FUZZ_CHECK(session.SinceFailureMs() == 0);
  } else if (!ok && got.empty()) {
    FUZZ_CHECK(session.ElapsedMs() > 500);
  } else if (!ok && got == std::vector<uint8_t>{address}) {
    FUZZ_CHECK(session.Now() - session.Port().Delivered().back().timeMs > 700);
  }
  return 0;
}
