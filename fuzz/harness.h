// What the fuzz targets share: the layout of an input (a header that picks the
// command's arguments, then the script of answers), a channel on a scripted port
// and a virtual clock, and the check that stops the process when the link breaks
// one of its rules. The expected values here are worked out from the wire rules
// on their own, not by calling the link's helpers.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/scripted_port.h"
#include "link/channel.h"

namespace zenor9::fuzz {

// Prints what broke and aborts, so that libFuzzer keeps the input that did it.
[[noreturn]] void Violation(const char* rule, const char* file, int line);

#define FUZZ_CHECK(condition)                                                    \
  do {                                                                           \
    if (!(condition)) ::zenor9::fuzz::Violation(#condition, __FILE__, __LINE__); \
  } while (false)

// The header at the start of every input; each target uses the fields it needs.
struct CommandInput {
  uint32_t clockStart = 0;  // where the tick counter starts (wrap-arounds included)
  uint8_t netNumber = 0;    // taken modulo 100
  uint16_t ramAddress = 0;  // read and write
  uint8_t value = 0;        // write: the value; scan: the address byte held before
  int32_t versionCode = 0;  // identify: the version code held before
};
inline constexpr std::size_t kHeaderSize = 12;

CommandInput ReadHeader(InputReader& reader);
void AppendHeader(std::vector<uint8_t>& input, const CommandInput& header);

// One command's run: the channel opened on a scripted port that reads its
// answers from the rest of the input, which must outlive the session.
class Session {
 public:
  explicit Session(std::span<const uint8_t> data);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const CommandInput& Input() const { return input_; }
  SerialChannel& Channel() { return channel_; }
  const ScriptedPort& Port() const { return *port_; }
  uint32_t Now() { return clock_.NowMs(); }
  uint32_t StartMs() const { return start_; }
  uint32_t ElapsedMs() { return clock_.NowMs() - start_; }
  // True when the device went away before the command ended.
  bool DeviceFailed() { return port_->Failed(); }
  // Milliseconds from the device's end to now.
  uint32_t SinceFailureMs() { return clock_.NowMs() - *port_->FailureTime(); }

 private:
  InputReader reader_;
  CommandInput input_;
  VirtualClock clock_;
  SerialChannel channel_;
  ScriptedPort* port_ = nullptr;
  uint32_t start_ = 0;
};

// The address byte of a net number from 0 to 99: its packed BCD, inverted.
uint8_t AddressByteOf(uint8_t netNumber);
// The address bytes a scan probes, in order: net numbers 0 to 99.
std::vector<uint8_t> ScanCandidates();
// 0xFF minus the 8-bit sum of the bytes.
uint8_t CheckByteOf(std::span<const uint8_t> bytes);
bool AddsUpToFF(std::span<const uint8_t> bytes);
// The version code the four nibbles of two version bytes spell in decimal.
int64_t VersionCodeOfNibbles(uint8_t first, uint8_t second);

// The values of the bytes the program took, without their times.
std::vector<uint8_t> DeliveredValues(const ScriptedPort& port);

// The request frame of a read or write: `body` followed by its check byte.
std::vector<uint8_t> RequestFrame(std::span<const uint8_t> body);

// What a read or write may send: the address byte alone in Mark, then the
// request frame in Space, and nothing more; at least the address byte unless
// the device went away first.
void CheckAddressThenRequest(Session& session, uint8_t address,
                             const std::vector<uint8_t>& request);

}  // namespace zenor9::fuzz
