// The emulated register against any bytes on the line, in either parity (the
// command-line tool's simulator serves it to whatever a program sends). It
// answers only once its own address byte selected it, echoes exactly that byte,
// acknowledges only a whole frame that adds up to 0xFF and only with its check
// byte, sends reply frames that add up to 0xFF, stores what a write frame
// carries and replies to a read with what it holds.
//
// Input: the register's net number, then pairs of (flags, byte); flags bit 0
// sends the byte in Mark.
#include "emulator/register_model.h"
#include "fuzz/harness.h"

using namespace zenor9;
using namespace zenor9::fuzz;

namespace {

constexpr uint8_t kRead = 0x06;
constexpr uint8_t kWrite = 0x05;

uint16_t RamAddressAt(const std::vector<uint8_t>& payload, std::size_t i) {
  return static_cast<uint16_t>((payload[1] | (payload[2] << 8)) + i);
}

void CheckAnswerToFrame(const emu::Register& reg, const std::vector<uint8_t>& frame,
                        const std::vector<emu::Emission>& out) {
  if (!AddsUpToFF(frame) || frame[0] == 0) {
    FUZZ_CHECK(out.empty());  // a damaged frame is not acknowledged
    return;
  }
  FUZZ_CHECK(out.size() == 1 && !out[0].bytes.empty());
  const std::vector<uint8_t>& answer = out[0].bytes;
  FUZZ_CHECK(answer[0] == frame.back());
  const std::vector<uint8_t> payload(frame.begin() + 1, frame.end() - 1);
  if (answer.size() > 1) {
    const std::vector<uint8_t> reply(answer.begin() + 1, answer.end());
    FUZZ_CHECK(AddsUpToFF(reply) && reply[0] == reply.size() - 2);
    if (payload[0] == kRead) {
      FUZZ_CHECK(payload.size() >= 4 && reply.size() == payload[3] + 2u);
      for (std::size_t i = 0; i < payload[3]; ++i) {
        FUZZ_CHECK(reply[1 + i] == reg.ReadRam(RamAddressAt(payload, i)));
      }
    }
  }
  if (payload[0] == kRead && payload.size() >= 4) FUZZ_CHECK(answer.size() > 1);
  if (payload[0] == kWrite && payload.size() >= 4 && payload.size() == 4u + payload[3]) {
    FUZZ_CHECK(answer.size() == 1);
    // Stored in order: where a long write wraps around, the later byte wins.
    for (std::size_t i = 0; i < payload[3]; ++i) {
      bool overwritten = false;
      for (std::size_t j = i + 1; j < payload[3]; ++j) {
        overwritten |= RamAddressAt(payload, j) == RamAddressAt(payload, i);
      }
      FUZZ_CHECK(overwritten || reg.ReadRam(RamAddressAt(payload, i)) == payload[4 + i]);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputReader reader({data, size});
  const uint8_t net = static_cast<uint8_t>(reader.Byte() % 100);
  emu::Register reg(net);
  const uint8_t self = AddressByteOf(net);
  FUZZ_CHECK(reg.AddressByte() == self);
  bool selected = false;
  std::vector<uint8_t> frame;
  while (!reader.AtEnd()) {
    const bool mark = (reader.Byte() & 1) != 0;
    const uint8_t byte = reader.Byte();
    std::vector<emu::Emission> out;
    reg.Receive(byte, mark ? ParityMode::Mark : ParityMode::Space, out);
    if (mark) {
      selected = byte == self;
      frame.clear();
      FUZZ_CHECK(selected ? out.size() == 1 && out[0].bytes == std::vector<uint8_t>{self}
                          : out.empty());
      continue;
    }
    if (!selected) {
      FUZZ_CHECK(out.empty());
      continue;
    }
    frame.push_back(byte);
    if (frame.size() < 2 || frame.size() != frame[0] + 2u) {
      FUZZ_CHECK(out.empty());
      continue;
    }
    CheckAnswerToFrame(reg, frame, out);
    frame.clear();
  }
  return 0;
}
