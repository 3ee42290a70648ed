// IdentifyRegister against any answers at any times. Identify may say true only
// after the register echoed its address and acknowledged with 0xEA, and only once
// both of its fixed delays have passed; on false the version code held before is
// left alone; a whole reply sets the version code its nibbles spell, or 0 when
// the reply does not add up to 0xFF.
#include "fuzz/harness.h"
#include "link/commands.h"

using namespace zenor9;
using namespace zenor9::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Session session({data, size});
  const uint8_t address = AddressByteOf(session.Input().netNumber);
  int32_t version = session.Input().versionCode;
  const bool ok = IdentifyRegister(session.Channel(), address, version) != IdentifyAnswer::None;

  const std::vector<WrittenBytes>& writes = session.Port().Writes();
  const std::vector<uint8_t> got = DeliveredValues(session.Port());

  FUZZ_CHECK(writes.size() <= 2);
  if (!writes.empty()) {
    FUZZ_CHECK(writes[0].parity == ParityMode::Mark &&
               writes[0].bytes == std::vector<uint8_t>{address});
  }
  if (writes.size() == 2) {
    FUZZ_CHECK(writes[1].parity == ParityMode::Space &&
               (writes[1].bytes == std::vector<uint8_t>{0x01, 0x14, 0xEA}));
  }
  // Delays of 40 and 400 ms, then reads of 1, 1, 1 and 10 bytes ending at the
  // latest 20 ms per byte plus 100 ms after they start.
  FUZZ_CHECK(session.ElapsedMs() <= 41 + 121 + 401 + 121 + 121 + 301);
  if (!ok) {
    FUZZ_CHECK(version == session.Input().versionCode);
    return 0;
  }
  // A device that goes away after the acknowledgement is a reply that never came:
  // true with whatever the sum test makes of the zeros.
  FUZZ_CHECK(writes.size() == 2);
  FUZZ_CHECK(got.size() >= 2 && got[0] == address && got[1] == 0xEA);
  FUZZ_CHECK(got.size() <= 2 + 11);
  FUZZ_CHECK(session.ElapsedMs() > 40 + 400);
  if (got.size() == 2 + 11) {
    const std::span<const uint8_t> reply = std::span(got).subspan(2);
    FUZZ_CHECK(version == (AddsUpToFF(reply) ? VersionCodeOfNibbles(reply[6], reply[7]) : 0));
  }
  return 0;
}
