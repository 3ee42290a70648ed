// A model of one ЗЕНОР-9 register on the serial line, written from the wire
// exchanges: it answers its own address byte, takes frames, acknowledges them,
// replies to identify and to reads, and keeps 64 KiB of RAM.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace zenor9::emu {

// Faults that can be switched on in a register.
enum class Fault {
  Silent,         // answers nothing at all
  NoEcho,         // is selected by its address byte but does not echo it
  WrongEcho,      // echoes a different byte
  NoAck,          // takes frames but never acknowledges them (nor replies to them)
  WrongAck,       // acknowledges with a wrong byte
  BadReplyCheck,  // reply frames carry a wrong check byte
  ShortReply,     // reply frames lack their last byte
  LateReply,      // answers only after the late delay (see SetLateDelayMs)
  Late,           // answers each exchange after a delay of its own, kLateMinMs to kLateMaxMs
  NoiseByte,      // a stray byte reaches the line before each echo
  TwoDevices,     // another device answers at the same time: every byte arrives garbled
  IgnoreWrites,   // acknowledges writes but does not store them
};

// Parses a fault name as the command line spells it ("no-ack", "late-reply", ...).
bool ParseFault(const std::string& name, Fault& fault);
std::string FaultName(Fault fault);
std::vector<Fault> AllFaults();
// The faults that spoil an answer on a noisy line, for random faults: lost
// (no-echo, no-ack), cut (short-reply), garbled (wrong-echo, wrong-ack,
// bad-reply-check, two-devices), padded (noise-byte) and late (late, by 0.02
// to 0.9 s).
std::vector<Fault> SpoiledAnswerFaults();

// The range of the delay under Late: from a slow answer that still meets every
// wait to one that misses the longest of them.
inline constexpr uint32_t kLateMinMs = 20;
inline constexpr uint32_t kLateMaxMs = 900;

// Bytes the register sends, delayMs after the byte that caused them.
struct Emission {
  uint32_t delayMs;
  std::vector<uint8_t> bytes;
};

inline constexpr uint16_t kEmulatedPrefixTensCell = 11887;
inline constexpr uint16_t kEmulatedPrefixUnitsCell = 11888;

class Register {
 public:
  explicit Register(uint8_t netNumber, uint8_t versionHigh = 0x01, uint8_t versionLow = 0x05);

  uint8_t NetNumber() const { return netNumber_; }
  uint8_t AddressByte() const { return addressByte_; }

  void SetVersion(uint8_t high, uint8_t low);
  uint8_t ReadRam(uint16_t address) const;
  void WriteRam(uint16_t address, uint8_t value);
  // The two prefix cells: "23" stores 0x32 0x33; "off" stores 0xFF 0xFF.
  void SetPrefix(const std::string& prefix);
  std::string Prefix() const;  // the two cells as text, or "off" when either holds 0xFF

  void SetFault(Fault fault, bool on = true);
  void ClearFaults();
  bool HasFault(Fault fault) const;
  void SetReplyDelayMs(uint32_t ms);  // normal answer delay, 1 ms by default
  void SetLateDelayMs(uint32_t ms);   // delay under LateReply, 800 ms by default
  // Faults that come and go, for long runs: each exchange (from this register's
  // address byte to the next address byte on the line) gets one fault of `mix`
  // with a chance of perMille / 1000, drawn from a generator seeded with `seed`,
  // so that a run can be repeated; so is the delay of each exchange under Late.
  // An empty mix turns them off.
  void SetRandomFaults(std::vector<Fault> mix, uint32_t perMille, uint32_t seed);
  uint64_t RandomFaultCount() const;  // exchanges that got a random fault so far

  // One byte from the line with its ninth bit; appends what the register sends back.
  void Receive(uint8_t byte, ParityMode parity, std::vector<Emission>& out);

 private:
  void StartExchange(uint8_t addressByte);
  void HandleFrame(std::vector<Emission>& out);
  void Send(std::vector<uint8_t> bytes, std::vector<Emission>& out) const;
  uint32_t DelayOfAnswer() const;
  std::vector<uint8_t> ReplyTo(const std::vector<uint8_t>& payload);
  bool Has(Fault fault) const { return faults_.count(fault) != 0 || exchangeFault_ == fault; }

  mutable std::mutex mutex_;
  uint8_t netNumber_;
  uint8_t addressByte_;
  uint8_t versionHigh_;
  uint8_t versionLow_;
  std::vector<uint8_t> ram_;
  std::set<Fault> faults_;
  uint32_t replyDelayMs_ = 1;
  uint32_t lateDelayMs_ = 800;
  bool selected_ = false;
  std::vector<uint8_t> frame_;
  std::vector<Fault> randomMix_;
  uint32_t randomPerMille_ = 0;
  std::mt19937 random_;
  std::optional<Fault> exchangeFault_;    // this exchange's random fault, if any
  uint32_t exchangeLateMs_ = kLateMinMs;  // this exchange's delay under Late
  uint64_t randomFaultCount_ = 0;
};

}  // namespace zenor9::emu
