#include "fuzz/harness.h"

#include <cstdio>
#include <cstdlib>

namespace zenor9::fuzz {

void Violation(const char* rule, const char* file, int line) {
  std::fprintf(stderr, "link rule broken: %s (%s:%d)\n", rule, file, line);
  std::abort();
}

CommandInput ReadHeader(InputReader& reader) {
  CommandInput header;
  header.clockStart = reader.Long();
  header.netNumber = static_cast<uint8_t>(reader.Byte() % 100);
  header.ramAddress = reader.Word();
  header.value = reader.Byte();
  header.versionCode = static_cast<int32_t>(reader.Long());
  return header;
}

void AppendHeader(std::vector<uint8_t>& input, const CommandInput& header) {
  const auto append = [&input](uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) input.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  append(header.clockStart, 4);
  append(header.netNumber, 1);
  append(header.ramAddress, 2);
  append(header.value, 1);
  append(static_cast<uint32_t>(header.versionCode), 4);
}

Session::Session(std::span<const uint8_t> data) : reader_(data) {
  input_ = ReadHeader(reader_);
  clock_ = VirtualClock(input_.clockStart);
  channel_.clock = &clock_;
  channel_.opener = [this](const std::string&, const StopCheck&) -> std::unique_ptr<SerialPort> {
    auto port = std::make_unique<ScriptedPort>(reader_, clock_);
    port_ = port.get();
    return port;
  };
  OpenChannelDevice("script", channel_);
  start_ = clock_.NowMs();
}

uint8_t AddressByteOf(uint8_t netNumber) {
  return static_cast<uint8_t>(0xFF - ((netNumber / 10) * 16 + netNumber % 10));
}

std::vector<uint8_t> ScanCandidates() {
  std::vector<uint8_t> candidates;
  for (uint8_t net = 0; net < 100; ++net) candidates.push_back(AddressByteOf(net));
  return candidates;
}

uint8_t CheckByteOf(std::span<const uint8_t> bytes) {
  unsigned sum = 0;
  for (uint8_t byte : bytes) sum += byte;
  return static_cast<uint8_t>(0xFF - (sum & 0xFF));
}

bool AddsUpToFF(std::span<const uint8_t> bytes) {
  unsigned sum = 0;
  for (uint8_t byte : bytes) sum += byte;
  return (sum & 0xFF) == 0xFF;
}

int64_t VersionCodeOfNibbles(uint8_t first, uint8_t second) {
  const unsigned a = first;
  const unsigned b = second;
  int64_t code = 0;
  for (const unsigned nibble : {a >> 4, a & 0x0F, b >> 4, b & 0x0F}) {
    code = code * (nibble > 9 ? 100 : 10) + nibble;
  }
  return code;
}

std::vector<uint8_t> DeliveredValues(const ScriptedPort& port) {
  std::vector<uint8_t> values;
  for (const DeliveredByte& byte : port.Delivered()) values.push_back(byte.value);
  return values;
}

std::vector<uint8_t> RequestFrame(std::span<const uint8_t> body) {
  std::vector<uint8_t> frame(body.begin(), body.end());
  frame.push_back(CheckByteOf(body));
  return frame;
}

void CheckAddressThenRequest(Session& session, uint8_t address,
                             const std::vector<uint8_t>& request) {
  const std::vector<WrittenBytes>& writes = session.Port().Writes();
  FUZZ_CHECK(!writes.empty() || session.DeviceFailed());
  FUZZ_CHECK(writes.size() <= 2);
  if (!writes.empty()) {
    FUZZ_CHECK(writes[0].parity == ParityMode::Mark &&
               writes[0].bytes == std::vector<uint8_t>{address});
  }
  if (writes.size() == 2) {
    FUZZ_CHECK(writes[1].parity == ParityMode::Space && writes[1].bytes == request);
  }
}

}  // namespace zenor9::fuzz
