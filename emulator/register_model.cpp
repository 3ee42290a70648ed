#include "emulator/register_model.h"

#include <utility>

#include "link/frame.h"

namespace zenor9::emu {

namespace {

constexpr std::pair<Fault, const char*> kFaultNames[] = {
    {Fault::Silent, "silent"},
    {Fault::NoEcho, "no-echo"},
    {Fault::WrongEcho, "wrong-echo"},
    {Fault::NoAck, "no-ack"},
    {Fault::WrongAck, "wrong-ack"},
    {Fault::BadReplyCheck, "bad-reply-check"},
    {Fault::ShortReply, "short-reply"},
    {Fault::LateReply, "late-reply"},
    {Fault::Late, "late"},
    {Fault::NoiseByte, "noise-byte"},
    {Fault::TwoDevices, "two-devices"},
    {Fault::IgnoreWrites, "ignore-writes"},
};

// Command codes of the requests the register understands.
constexpr uint8_t kCommandIdentifyCode = 0x14;
constexpr uint8_t kCommandReadCode = 0x06;
constexpr uint8_t kCommandWriteCode = 0x05;

constexpr uint8_t kNoise = 0x5A;
// What a second device's simultaneous answer does to each byte on the line.
constexpr uint8_t kCollisionPattern = 0x5A;

// Uninterpreted bytes of the identify reply: the model's own signature.
constexpr uint8_t kIdentityHead[] = {'Z', '9', 0x00, 0x00, 0x00};
constexpr uint8_t kIdentityTail[] = {0x00, 0x00};

// The net number in packed BCD, inverted.
uint8_t AddressByteOf(uint8_t netNumber) {
  return static_cast<uint8_t>(0xFF - ((netNumber / 10) * 16 + netNumber % 10));
}

uint16_t RamAddressOf(const std::vector<uint8_t>& payload) {
  return static_cast<uint16_t>(payload[1] | (payload[2] << 8));
}

}  // namespace

bool ParseFault(const std::string& name, Fault& fault) {
  for (const auto& [value, text] : kFaultNames) {
    if (name == text) {
      fault = value;
      return true;
    }
  }
  return false;
}

std::string FaultName(Fault fault) {
  for (const auto& [value, text] : kFaultNames) {
    if (value == fault) return text;
  }
  return "?";
}

std::vector<Fault> AllFaults() {
  std::vector<Fault> faults;
  for (const auto& entry : kFaultNames) faults.push_back(entry.first);
  return faults;
}

std::vector<Fault> SpoiledAnswerFaults() {
  return {Fault::NoEcho,    Fault::NoAck,    Fault::ShortReply,
          Fault::WrongEcho, Fault::WrongAck, Fault::TwoDevices,
          Fault::NoiseByte, Fault::Late,     Fault::BadReplyCheck};
}

Register::Register(uint8_t netNumber, uint8_t versionHigh, uint8_t versionLow)
    : netNumber_(netNumber),
      addressByte_(AddressByteOf(netNumber)),
      versionHigh_(versionHigh),
      versionLow_(versionLow),
      ram_(65536, 0) {
  ram_[kEmulatedPrefixTensCell] = '2';
  ram_[kEmulatedPrefixUnitsCell] = '3';
}

void Register::SetVersion(uint8_t high, uint8_t low) {
  std::lock_guard lock(mutex_);
  versionHigh_ = high;
  versionLow_ = low;
}

uint8_t Register::ReadRam(uint16_t address) const {
  std::lock_guard lock(mutex_);
  return ram_[address];
}

void Register::WriteRam(uint16_t address, uint8_t value) {
  std::lock_guard lock(mutex_);
  ram_[address] = value;
}

void Register::SetPrefix(const std::string& prefix) {
  const bool off = prefix == "off" || prefix.size() != 2;
  WriteRam(kEmulatedPrefixTensCell, off ? 0xFF : static_cast<uint8_t>(prefix[0]));
  WriteRam(kEmulatedPrefixUnitsCell, off ? 0xFF : static_cast<uint8_t>(prefix[1]));
}

std::string Register::Prefix() const {
  const uint8_t tens = ReadRam(kEmulatedPrefixTensCell);
  const uint8_t units = ReadRam(kEmulatedPrefixUnitsCell);
  if (tens == 0xFF || units == 0xFF) return "off";
  return std::string{static_cast<char>(tens), static_cast<char>(units)};
}

void Register::SetFault(Fault fault, bool on) {
  std::lock_guard lock(mutex_);
  if (on) {
    faults_.insert(fault);
  } else {
    faults_.erase(fault);
  }
}

void Register::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

bool Register::HasFault(Fault fault) const {
  std::lock_guard lock(mutex_);
  return Has(fault);
}

void Register::SetReplyDelayMs(uint32_t ms) {
  std::lock_guard lock(mutex_);
  replyDelayMs_ = ms;
}

void Register::SetLateDelayMs(uint32_t ms) {
  std::lock_guard lock(mutex_);
  lateDelayMs_ = ms;
}

void Register::SetRandomFaults(std::vector<Fault> mix, uint32_t perMille, uint32_t seed) {
  std::lock_guard lock(mutex_);
  randomMix_ = std::move(mix);
  randomPerMille_ = perMille;
  random_.seed(seed);
  exchangeFault_.reset();
}

uint64_t Register::RandomFaultCount() const {
  std::lock_guard lock(mutex_);
  return randomFaultCount_;
}

void Register::StartExchange(uint8_t addressByte) {
  exchangeFault_.reset();
  if (addressByte != addressByte_) return;
  if (!randomMix_.empty() && random_() % 1000 < randomPerMille_) {
    exchangeFault_ = randomMix_[random_() % randomMix_.size()];
    ++randomFaultCount_;
  }
  // Drawn only for a late exchange, so that the other faults' draws stay as
  // they were for a seed.
  if (Has(Fault::Late)) exchangeLateMs_ = kLateMinMs + random_() % (kLateMaxMs - kLateMinMs + 1);
}

void Register::Receive(uint8_t byte, ParityMode parity, std::vector<Emission>& out) {
  std::lock_guard lock(mutex_);
  if (parity == ParityMode::Mark) StartExchange(byte);
  if (Has(Fault::Silent)) return;
  if (parity == ParityMode::Mark) {
    // An address byte: selects this register or deselects it, and drops any
    // frame in progress.
    frame_.clear();
    selected_ = byte == addressByte_;
    if (!selected_ || Has(Fault::NoEcho)) return;
    if (Has(Fault::NoiseByte)) Send({kNoise}, out);
    Send({Has(Fault::WrongEcho) ? static_cast<uint8_t>(byte ^ 0x01) : byte}, out);
    return;
  }
  if (!selected_) return;
  frame_.push_back(byte);
  if (frame_.size() >= 2 && frame_.size() == frame_[0] + 2u) {
    HandleFrame(out);
    frame_.clear();
  }
}

void Register::HandleFrame(std::vector<Emission>& out) {
  if (!FrameSumIsValid(frame_) || frame_[0] == 0) return;  // a damaged frame is ignored
  const std::vector<uint8_t> payload(frame_.begin() + 1, frame_.end() - 1);
  std::vector<uint8_t> reply = ReplyTo(payload);
  // A register that never acknowledges sends no reply frame either: the program
  // sees nothing after its frame.
  if (Has(Fault::NoAck)) return;
  std::vector<uint8_t> answer{Has(Fault::WrongAck) ? static_cast<uint8_t>(frame_.back() + 1)
                                                   : frame_.back()};
  if (!reply.empty()) {
    if (Has(Fault::BadReplyCheck)) reply.back() = static_cast<uint8_t>(reply.back() + 1);
    if (Has(Fault::ShortReply)) reply.pop_back();
    answer.insert(answer.end(), reply.begin(), reply.end());
  }
  Send(std::move(answer), out);
}

// Carries out a request and returns its reply frame (empty when it has none).
std::vector<uint8_t> Register::ReplyTo(const std::vector<uint8_t>& payload) {
  switch (payload[0]) {
    case kCommandIdentifyCode: {
      std::vector<uint8_t> identity(std::begin(kIdentityHead), std::end(kIdentityHead));
      identity.push_back(versionHigh_);
      identity.push_back(versionLow_);
      identity.insert(identity.end(), std::begin(kIdentityTail), std::end(kIdentityTail));
      return BuildLinkFrame(identity);
    }
    case kCommandReadCode: {
      if (payload.size() < 4) return {};
      std::vector<uint8_t> data;
      for (uint16_t i = 0; i < payload[3]; ++i) {
        data.push_back(ram_[static_cast<uint16_t>(RamAddressOf(payload) + i)]);
      }
      return BuildLinkFrame(data);
    }
    case kCommandWriteCode: {
      if (payload.size() < 4 || payload.size() != 4u + payload[3]) return {};
      if (Has(Fault::IgnoreWrites)) return {};
      for (uint16_t i = 0; i < payload[3]; ++i) {
        ram_[static_cast<uint16_t>(RamAddressOf(payload) + i)] = payload[4 + i];
      }
      return {};
    }
    default:
      return {};
  }
}

void Register::Send(std::vector<uint8_t> bytes, std::vector<Emission>& out) const {
  if (Has(Fault::TwoDevices)) {
    for (uint8_t& byte : bytes) byte ^= kCollisionPattern;
  }
  out.push_back({DelayOfAnswer(), std::move(bytes)});
}

uint32_t Register::DelayOfAnswer() const {
  if (Has(Fault::LateReply)) return lateDelayMs_;
  return Has(Fault::Late) ? exchangeLateMs_ : replyDelayMs_;
}

}  // namespace zenor9::emu
