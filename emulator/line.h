// The serial line shared by emulated registers, and the record of every byte
// that crossed it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <vector>

#include "emulator/register_model.h"

namespace zenor9::emu {

struct WireByte {
  uint32_t timeMs;
  bool toRegister;    // sent by the program (true) or by a register (false)
  ParityMode parity;  // the ninth bit, for bytes sent to the registers
  uint8_t value;
};

class Line {
 public:
  // Adds a register; the reference stays valid for the line's life.
  Register& AddRegister(uint8_t netNumber, uint8_t versionHigh = 0x01, uint8_t versionLow = 0x05);
  Register& RegisterAt(std::size_t index) { return *registers_.at(index); }
  std::size_t RegisterCount() const { return registers_.size(); }

  // A byte from the program: every register hears it; returns what they send.
  // Each register's answers leave in the order it made them, as from one UART:
  // an answer held back (a late fault) holds back what the register says after it.
  std::vector<Emission> Deliver(uint8_t byte, ParityMode parity, uint32_t timeMs);
  // Records bytes that reached the program.
  void NoteToProgram(const std::vector<uint8_t>& bytes, uint32_t timeMs);

  std::vector<WireByte> Log() const;
  // The bytes sent to the registers, without their parity and times.
  std::vector<uint8_t> SentBytes() const;
  void ClearLog();
  // Long runs (the virtual register, soak tests) turn the record off to keep
  // memory flat; the observer still sees every byte.
  void SetRecording(bool recording);
  // Called for every byte that crosses the line (for tracing).
  void SetObserver(std::function<void(const WireByte&)> observer);

  // An adapter with a latency timer between the line and the program: what the
  // registers send is held, and released in one batch `ms` after the first byte
  // of the batch arrived (a USB adapter's 16 ms; 0, the default, for none).
  void SetAdapterLatency(uint32_t ms) { latencyMs_ = ms; }

  // A noisy line for long runs: each answer a register sends (its echo; its
  // acknowledgement with any reply frame) is spoiled with a chance of perMille /
  // 1000, in one of five ways alike: lost, cut short by its last byte, a bit
  // flipped, a byte added, or held back kLateMinMs to kLateMaxMs. Drawn from a
  // generator seeded with `seed`, so that a run can be repeated; 0 turns it off.
  void SetSpoiledAnswers(uint32_t perMille, uint32_t seed);
  uint64_t SpoiledAnswerCount() const;  // answers spoiled so far

  // The adapter is pulled out: ports on this line fail until it is plugged back.
  void SetUnplugged(bool unplugged);
  bool Unplugged() const;

 private:
  void Record(const WireByte& byte);
  void HoldForLatency(std::vector<Emission>& emissions, uint32_t timeMs);
  // False when the answer is lost.
  bool Spoil(Emission& emission);

  std::deque<std::unique_ptr<Register>> registers_;
  // When each register's last answer leaves; none before its first.
  std::deque<std::optional<uint32_t>> lastAnswerDueMs_;
  mutable std::mutex mutex_;
  std::vector<WireByte> log_;
  std::function<void(const WireByte&)> observer_;
  bool unplugged_ = false;
  bool recording_ = true;
  uint32_t latencyMs_ = 0;
  bool batchOpen_ = false;
  uint32_t batchReleaseMs_ = 0;  // when the open batch goes to the program
  uint32_t spoiledPerMille_ = 0;
  std::mt19937 spoilDraw_;
  uint64_t spoiledCount_ = 0;
};

}  // namespace zenor9::emu
