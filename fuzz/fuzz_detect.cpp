// DetectAddressByte against any answers at any times. The scan probes the 100
// address bytes in order, all in Mark, stops at the first byte that comes back,
// stores only the probe that came back as itself, leaves the address byte alone
// otherwise, and never outlasts 100 probes of just over 10 ms.
#include "fuzz/harness.h"
#include "link/net_number.h"

using namespace zenor9;
using namespace zenor9::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Session session({data, size});
  const uint8_t before = session.Input().value;
  uint8_t addressByte = before;
  const bool ok = DetectAddressByte(session.Channel(), addressByte);

  const std::vector<uint8_t> candidates = ScanCandidates();
  const std::vector<WrittenBytes>& writes = session.Port().Writes();
  const std::vector<uint8_t> got = DeliveredValues(session.Port());

  FUZZ_CHECK(writes.size() <= candidates.size());
  for (std::size_t i = 0; i < writes.size(); ++i) {
    FUZZ_CHECK(writes[i].parity == ParityMode::Mark);
    FUZZ_CHECK(writes[i].bytes == std::vector<uint8_t>{candidates[i]});
  }
  FUZZ_CHECK(got.size() <= 1);  // the first byte taken ends the scan
  FUZZ_CHECK(session.ElapsedMs() <= 100 * 11);
  if (ok) {
    FUZZ_CHECK(!writes.empty() && got.size() == 1);
    FUZZ_CHECK(addressByte == writes.back().bytes[0] && got[0] == addressByte);
    return 0;
  }
  FUZZ_CHECK(addressByte == before);
  if (got.size() == 1) {
    FUZZ_CHECK(got[0] != writes.back().bytes[0]);
  } else if (!session.DeviceFailed()) {
    FUZZ_CHECK(writes.size() == candidates.size());  // nothing came back: all were probed
  }
  if (session.DeviceFailed()) FUZZ_CHECK(session.SinceFailureMs() == 0);
  return 0;
}
