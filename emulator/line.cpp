#include "emulator/line.h"

namespace zenor9::emu {

namespace {

// Delays `emission` until the register's earlier answers have left.
void KeepInOrder(Emission& emission, uint32_t timeMs, std::optional<uint32_t>& lastDueMs) {
  uint32_t due = timeMs + emission.delayMs;
  if (lastDueMs && static_cast<int32_t>(*lastDueMs - due) > 0) due = *lastDueMs;
  lastDueMs = due;
  emission.delayMs = due - timeMs;
}

}  // namespace

Register& Line::AddRegister(uint8_t netNumber, uint8_t versionHigh, uint8_t versionLow) {
  registers_.push_back(std::make_unique<Register>(netNumber, versionHigh, versionLow));
  lastAnswerDueMs_.emplace_back();
  return *registers_.back();
}

std::vector<Emission> Line::Deliver(uint8_t byte, ParityMode parity, uint32_t timeMs) {
  Record({timeMs, true, parity, byte});
  std::vector<Emission> emissions;
  for (std::size_t i = 0; i < registers_.size(); ++i) {
    std::vector<Emission> answers;
    registers_[i]->Receive(byte, parity, answers);
    for (Emission& answer : answers) {
      if (!Spoil(answer)) continue;
      KeepInOrder(answer, timeMs, lastAnswerDueMs_[i]);
      emissions.push_back(std::move(answer));
    }
  }
  if (latencyMs_ > 0) HoldForLatency(emissions, timeMs);
  return emissions;
}

void Line::HoldForLatency(std::vector<Emission>& emissions, uint32_t timeMs) {
  for (Emission& emission : emissions) {
    const uint32_t due = timeMs + emission.delayMs;
    // A byte due after the open batch has left starts the next one.
    if (!batchOpen_ || static_cast<int32_t>(due - batchReleaseMs_) > 0) {
      batchOpen_ = true;
      batchReleaseMs_ = due + latencyMs_;
    }
    emission.delayMs = batchReleaseMs_ - timeMs;
  }
}

void Line::SetSpoiledAnswers(uint32_t perMille, uint32_t seed) {
  std::lock_guard lock(mutex_);
  spoiledPerMille_ = perMille;
  spoilDraw_.seed(seed);
}

uint64_t Line::SpoiledAnswerCount() const {
  std::lock_guard lock(mutex_);
  return spoiledCount_;
}

bool Line::Spoil(Emission& emission) {
  std::lock_guard lock(mutex_);
  if (spoiledPerMille_ == 0 || spoilDraw_() % 1000 >= spoiledPerMille_) return true;
  ++spoiledCount_;
  std::vector<uint8_t>& bytes = emission.bytes;
  switch (spoilDraw_() % 5) {
    case 0:
      return false;
    case 1:
      bytes.pop_back();
      return !bytes.empty();
    case 2:
      bytes[spoilDraw_() % bytes.size()] ^= static_cast<uint8_t>(1u << spoilDraw_() % 8);
      return true;
    case 3: {
      const auto at = static_cast<std::ptrdiff_t>(spoilDraw_() % (bytes.size() + 1));
      bytes.insert(bytes.begin() + at, static_cast<uint8_t>(spoilDraw_()));
      return true;
    }
    default:
      emission.delayMs += kLateMinMs + spoilDraw_() % (kLateMaxMs - kLateMinMs + 1);
      return true;
  }
}

void Line::NoteToProgram(const std::vector<uint8_t>& bytes, uint32_t timeMs) {
  for (uint8_t byte : bytes) Record({timeMs, false, ParityMode::Space, byte});
}

void Line::Record(const WireByte& byte) {
  std::function<void(const WireByte&)> observer;
  {
    std::lock_guard lock(mutex_);
    if (recording_) log_.push_back(byte);
    observer = observer_;
  }
  if (observer) observer(byte);
}

std::vector<WireByte> Line::Log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

std::vector<uint8_t> Line::SentBytes() const {
  std::lock_guard lock(mutex_);
  std::vector<uint8_t> sent;
  for (const WireByte& byte : log_) {
    if (byte.toRegister) sent.push_back(byte.value);
  }
  return sent;
}

void Line::ClearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

void Line::SetRecording(bool recording) {
  std::lock_guard lock(mutex_);
  recording_ = recording;
}

void Line::SetObserver(std::function<void(const WireByte&)> observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

void Line::SetUnplugged(bool unplugged) {
  std::lock_guard lock(mutex_);
  unplugged_ = unplugged;
}

bool Line::Unplugged() const {
  std::lock_guard lock(mutex_);
  return unplugged_;
}

}  // namespace zenor9::emu
