#include "link/rfc2217_port.h"

#include <algorithm>
#include <bitset>
#include <cctype>
#include <deque>
#include <functional>
#include <string_view>
#include <vector>

namespace zenor9 {

namespace {

// Telnet (RFC 854, 856) and COM-PORT-OPTION (RFC 2217) codes.
constexpr uint8_t kIac = 0xFF;
constexpr uint8_t kDont = 0xFE;
constexpr uint8_t kDo = 0xFD;
constexpr uint8_t kWont = 0xFC;
constexpr uint8_t kWill = 0xFB;
constexpr uint8_t kSb = 0xFA;
constexpr uint8_t kSe = 0xF0;
constexpr uint8_t kBinary = 0;
constexpr uint8_t kSuppressGoAhead = 3;
constexpr uint8_t kComPort = 44;
// Client-to-server commands; the server answers each with its code + 100.
constexpr uint8_t kSetBaudRate = 1;
constexpr uint8_t kSetDataSize = 2;
constexpr uint8_t kSetParity = 3;
constexpr uint8_t kSetStopSize = 4;
constexpr uint8_t kSetControl = 5;
constexpr uint8_t kServerAnswer = 100;
constexpr uint8_t kParityMark = 4;
constexpr uint8_t kParitySpace = 5;
constexpr uint8_t kNoFlowControl = 1;
constexpr uint8_t kDtrOff = 9;
constexpr uint8_t kRtsOn = 11;
constexpr uint32_t kBaudRate = 9600;

// The longest subnegotiation kept: a server's signature text is the longest
// thing it sends, and nothing past this is needed.
constexpr std::size_t kLongestSubnegotiation = 64;
constexpr std::size_t kLongestServerText = 80;

// The most bytes held for the link to read, and the most taken from the stream
// at one look. No answer of the registers comes near it, a serial driver holds
// no more, and a whole negotiation is a few dozen bytes; at 9600 baud the line
// itself cannot deliver this much within the negotiation's 3 s. A server that
// sends more before it has answered is no RFC 2217 server, and what arrives
// beyond it later is noise that no exchange can use.
constexpr std::size_t kInputLimit = 4096;
// One look at the stream ends after this long even when more keeps coming, so
// that its caller's own time limits hold against a flood.
constexpr uint32_t kLongestPumpMs = 20;

// ser2net refuses a client for a moment while a client that just left still
// holds the serial device ("Port's device already in use"); such a refusal is
// tried again every pause until this long has passed since the first try.
constexpr uint32_t kInUseRetryMs = 1000;
constexpr uint32_t kInUsePauseMs = 100;

uint8_t ParityCode(ParityMode mode) {
  return mode == ParityMode::Mark ? kParityMark : kParitySpace;
}

// 0xFF in data or in a subnegotiation's value travels doubled.
void AppendEscaped(std::vector<uint8_t>& out, const uint8_t* data, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    out.push_back(data[i]);
    if (data[i] == kIac) out.push_back(kIac);
  }
}

void AppendComPortCommand(std::vector<uint8_t>& out, uint8_t command,
                          const std::vector<uint8_t>& value) {
  out.insert(out.end(), {kIac, kSb, kComPort, command});
  AppendEscaped(out, value.data(), value.size());
  out.insert(out.end(), {kIac, kSe});
}

bool IsHostCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_';
}

bool IsIpv6Character(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
}

std::optional<uint16_t> PortNumberOf(const std::string& text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const unsigned long number = std::stoul(text);
  if (number < 1 || number > 65535) return std::nullopt;
  return static_cast<uint16_t>(number);
}

// Whether a telnet option is wanted on the server's side (it sends it) and on
// ours. Everything else is refused; ECHO above all, which would send the
// program's own bytes back as if the register had echoed them.
bool WantedFromServer(uint8_t option) {
  return option == kBinary || option == kSuppressGoAhead;
}
bool WantedHere(uint8_t option) {
  return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

// One side's options: on, asked for by us and not yet answered, or declined.
struct OptionSide {
  std::bitset<256> on;
  std::bitset<256> asked;
  std::bitset<256> declined;

  bool Settled(uint8_t option) const { return on[option] || declined[option]; }
};

class Rfc2217Port final : public SerialPort {
 public:
  Rfc2217Port(std::unique_ptr<ByteStream> stream, Clock& clock, StopCheck stopRequested)
      : stream_(std::move(stream)), clock_(clock), stopRequested_(std::move(stopRequested)) {}

  // The parity waits for the next write, which carries it: the server applies a
  // parity change as soon as it reads it, even ahead of data that came before
  // it, so it may only leave with the bytes it governs. The link switches only
  // once the bytes before have been answered.
  void SetParity(ParityMode mode) override { wanted_ = mode; }

  // Only what this program has received is dropped: a purge of the server's
  // queues (PURGE-DATA) could also drop the answer to the bytes just sent.
  void Purge(unsigned flags) override {
    if ((flags & (kPurgeRxClear | kPurgeRxAbort)) == 0) return;
    Pump();
    input_.clear();
  }

  int Write(const uint8_t* data, uint32_t count, uint32_t timeoutMs) override {
    if (ended_) return -1;
    std::vector<uint8_t> out;
    if (wanted_ != onServer_) AppendComPortCommand(out, kSetParity, {ParityCode(wanted_)});
    AppendEscaped(out, data, count);
    if (!SendRaw(out, timeoutMs)) return -1;
    onServer_ = wanted_;
    return static_cast<int>(count);
  }

  // What arrived before the connection ended is still delivered: the server
  // may have answered, then closed.
  int ReadQueued(uint8_t* buffer, uint32_t count) override {
    Pump();
    if (input_.empty() && ended_) return -1;
    const uint32_t taken = std::min<uint32_t>(count, static_cast<uint32_t>(input_.size()));
    std::copy_n(input_.begin(), taken, buffer);
    input_.erase(input_.begin(), input_.begin() + taken);
    return static_cast<int>(taken);
  }

  uint32_t QueuedCount() override {
    Pump();
    return static_cast<uint32_t>(input_.size());
  }

  void WaitReadable(uint32_t maxMs) override {
    Pump();
    if (ended_ || !input_.empty()) return;
    stream_->WaitReadable(maxMs);
    Pump();
  }

  // Failed once the connection has ended and all that came before is read.
  bool Failed() const override { return ended_ && input_.empty(); }
  uint32_t RoundTripMs() const override { return roundTripMs_; }

  // The negotiation of OpenRfc2217Port: nothing when the line is ready.
  std::optional<PortOpenResult> Negotiate() {
    start_ = clock_.NowMs();
    if (auto refused = NegotiateOptions()) return refused;
    std::vector<uint8_t> settings;
    AppendComPortCommand(settings, kSetBaudRate,
                         {0, 0, static_cast<uint8_t>(kBaudRate >> 8), kBaudRate & 0xFF});
    AppendComPortCommand(settings, kSetDataSize, {8});
    AppendComPortCommand(settings, kSetStopSize, {1});
    for (uint8_t control : {kNoFlowControl, kDtrOff, kRtsOn}) {
      AppendComPortCommand(settings, kSetControl, {control});
    }
    uint32_t roundTrip = 0;
    if (auto refused = TryParity(ParityMode::Mark, settings, roundTrip)) return refused;
    // The first answer also waited for the settings: only the next two time
    // the network alone.
    for (ParityMode mode : {ParityMode::Space, ParityMode::Mark}) {
      if (auto refused = TryParity(mode, {}, roundTrip)) return refused;
      roundTripMs_ = std::max(roundTripMs_, roundTrip);
    }
    return std::nullopt;
  }

 private:
  bool SendRaw(const std::vector<uint8_t>& bytes, uint32_t timeoutMs) {
    if (!ended_ && !stream_->Send(bytes.data(), bytes.size(), timeoutMs)) ended_ = true;
    return !ended_;
  }

  void SendOption(uint8_t verb, uint8_t option) {
    SendRaw({kIac, verb, option}, kNegotiationTimeoutMs);
  }

  // Takes in what has arrived, up to kInputLimit bytes or kLongestPumpMs:
  // data for the input queue, the server's negotiation and answers for the
  // state below. A send that failed leaves the stream readable: what the
  // server said before it closed (a farewell, an answer) is still taken in.
  void Pump() {
    uint8_t buffer[512];
    const uint32_t start = clock_.NowMs();
    for (std::size_t taken = 0; !drained_ && taken < kInputLimit;) {
      const int received = stream_->Receive(buffer, sizeof buffer);
      if (received < 0) drained_ = ended_ = true;
      if (received <= 0) return;
      taken += static_cast<std::size_t>(received);
      receivedCount_ += static_cast<std::size_t>(received);
      for (int i = 0; i < received; ++i) Decode(buffer[i]);
      if (clock_.NowMs() - start > kLongestPumpMs) return;
    }
  }

  // Bytes beyond the limit are dropped, as a serial driver's full buffer drops them.
  void Queue(uint8_t byte) {
    if (input_.size() < kInputLimit) input_.push_back(byte);
  }

  void Decode(uint8_t byte) {
    switch (state_) {
      case State::Data:
        if (byte == kIac) {
          state_ = State::Command;
        } else {
          Queue(byte);
        }
        return;
      case State::Command:
        state_ = State::Data;
        if (byte == kIac) Queue(kIac);
        if (byte >= kWill && byte <= kDont) {
          verb_ = byte;
          state_ = State::Option;
        }
        if (byte == kSb) {
          subnegotiation_.clear();
          state_ = State::Subnegotiation;
        }
        return;  // any other command (NOP, GA, ...) asks nothing of a client
      case State::Option:
        state_ = State::Data;
        OnOption(verb_, byte);
        return;
      case State::Subnegotiation:
        if (byte == kIac) {
          state_ = State::SubnegotiationCommand;
        } else if (subnegotiation_.size() < kLongestSubnegotiation) {
          subnegotiation_.push_back(byte);
        }
        return;
      case State::SubnegotiationCommand:
        state_ = byte == kIac ? State::Subnegotiation : State::Data;
        if (byte == kIac && subnegotiation_.size() < kLongestSubnegotiation) {
          subnegotiation_.push_back(kIac);
        }
        if (byte == kSe) OnSubnegotiation();
        return;
    }
  }

  // The server's answers to the settings and its notifications (line and modem
  // state, flow control) are consumed; only the parity it answers is kept.
  void OnSubnegotiation() {
    if (subnegotiation_.size() >= 3 && subnegotiation_[0] == kComPort &&
        subnegotiation_[1] == kServerAnswer + kSetParity) {
      parityAnswer_ = subnegotiation_[2];
    }
  }

  void OnOption(uint8_t verb, uint8_t option) {
    switch (verb) {
      case kWill:
        Agree(server_, option, WantedFromServer(option), kDo, kDont);
        break;
      case kWont:
        Decline(server_, option, kDont);
        break;
      case kDo:
        Agree(here_, option, WantedHere(option), kWill, kWont);
        break;
      default:
        Decline(here_, option, kWont);
        break;
    }
  }

  // The peer offers or asks for an option: agreed once (no answer when it only
  // confirms what was asked), refused each time when unwanted.
  void Agree(OptionSide& side, uint8_t option, bool wanted, uint8_t yes, uint8_t no) {
    if (!wanted) {
      SendOption(no, option);
      return;
    }
    if (!side.on[option] && !side.asked[option]) SendOption(yes, option);
    side.on[option] = true;
    side.asked[option] = false;
  }

  void Decline(OptionSide& side, uint8_t option, uint8_t no) {
    if (side.on[option]) SendOption(no, option);
    side.on[option] = false;
    side.asked[option] = false;
    side.declined[option] = true;
  }

  void Ask(OptionSide& side, uint8_t verb, uint8_t option) {
    side.asked[option] = true;
    SendOption(verb, option);
  }

  bool StopRequested() const { return stopRequested_ && stopRequested_(); }

  // More came in than a negotiation and the line could have sent.
  bool Flooded() const { return receivedCount_ >= kInputLimit; }

  // Pumps until `done` or the negotiation's time is up; false then, when the
  // connection ended, when the server floods it, or at a stop request.
  bool AwaitUntil(const std::function<bool()>& done) {
    for (;;) {
      Pump();
      if (done()) return true;
      const uint32_t elapsed = clock_.NowMs() - start_;
      if (ended_ || Flooded() || StopRequested() || elapsed > kNegotiationTimeoutMs) return false;
      const uint32_t rest = kNegotiationTimeoutMs - elapsed + 1;
      stream_->WaitReadable(stopRequested_ ? std::min(rest, kStopLookMs) : rest);
    }
  }

  // What the server said before it closed, on one line: its printable
  // characters, each run of line breaks one space ("Bad Request" and
  // "connection: close" on two lines stay two phrases).
  std::string FarewellText() const {
    std::string text;
    for (uint8_t byte : input_) {
      if (text.size() >= kLongestServerText) break;
      const bool lineBreak = byte == '\r' || byte == '\n';
      if (lineBreak && !text.empty() && text.back() != ' ') text += ' ';
      if (byte >= 0x20 && byte < 0x7F) text += static_cast<char>(byte);
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }

  // Why the negotiation ended without an answer: a stop, a flood, the
  // connection closed (with what the server said, if anything), or no telnet
  // answered in time.
  PortOpenResult NoAnswer(PortDetail awaited) {
    if (StopRequested())
      return PortOpenResult::Failure(PortFailure::NoRfc2217, PortDetail::Stopped);
    if (Flooded()) return PortOpenResult::Failure(PortFailure::NoRfc2217, PortDetail::Flooded);
    if (!ended_) return PortOpenResult::Failure(PortFailure::NoRfc2217, awaited);
    PortOpenResult closed =
        PortOpenResult::Failure(PortFailure::DeviceError, PortDetail::ServerClosed);
    closed.detail.serverText = FarewellText();
    return closed;
  }

  std::optional<PortOpenResult> NegotiateOptions() {
    Ask(here_, kWill, kBinary);
    Ask(server_, kDo, kBinary);
    Ask(here_, kWill, kComPort);
    if (!AwaitUntil([this] {
          return here_.Settled(kBinary) && server_.Settled(kBinary) && here_.Settled(kComPort);
        })) {
      return NoAnswer(PortDetail::NoTelnetAnswer);
    }
    if (!here_.on[kComPort]) {
      return PortOpenResult::Failure(PortFailure::NoRfc2217, PortDetail::ComPortRefused);
    }
    if (!here_.on[kBinary] || !server_.on[kBinary]) {
      return PortOpenResult::Failure(PortFailure::NoRfc2217, PortDetail::BinaryRefused);
    }
    return std::nullopt;
  }

  // Sends `before` and SET-PARITY `mode` in one write and checks the answer;
  // `roundTrip` is the time it took.
  std::optional<PortOpenResult> TryParity(ParityMode mode, std::vector<uint8_t> before,
                                          uint32_t& roundTrip) {
    parityAnswer_.reset();
    AppendComPortCommand(before, kSetParity, {ParityCode(mode)});
    const uint32_t sent = clock_.NowMs();
    SendRaw(before, kNegotiationTimeoutMs);
    if (!AwaitUntil([this] { return parityAnswer_.has_value(); })) {
      return NoAnswer(PortDetail::NoParityAnswer);
    }
    roundTrip = clock_.NowMs() - sent;
    if (*parityAnswer_ != ParityCode(mode)) {
      PortOpenResult refused =
          PortOpenResult::Failure(PortFailure::NoStickParity, PortDetail::ParityOtherwise);
      refused.detail.parityAsked = ParityCode(mode);
      refused.detail.parityAnswered = *parityAnswer_;
      return refused;
    }
    onServer_ = mode;
    wanted_ = mode;
    return std::nullopt;
  }

  enum class State { Data, Command, Option, Subnegotiation, SubnegotiationCommand };

  std::unique_ptr<ByteStream> stream_;
  Clock& clock_;
  StopCheck stopRequested_;
  bool ended_ = false;    // a send failed or the stream ended: no more writes
  bool drained_ = false;  // the stream ended: nothing more will arrive
  std::size_t receivedCount_ = 0;
  std::deque<uint8_t> input_;
  State state_ = State::Data;
  uint8_t verb_ = 0;
  std::vector<uint8_t> subnegotiation_;
  OptionSide here_;
  OptionSide server_;
  std::optional<uint8_t> parityAnswer_;
  ParityMode wanted_ = ParityMode::Mark;
  ParityMode onServer_ = ParityMode::Mark;
  uint32_t start_ = 0;
  uint32_t roundTripMs_ = 0;
};

}  // namespace

bool IsRemoteDevice(const std::string& device) {
  constexpr std::string_view kScheme = "rfc2217:";
  if (device.size() < kScheme.size()) return false;
  return std::equal(kScheme.begin(), kScheme.end(), device.begin(), [](char a, char b) {
    return a == std::tolower(static_cast<unsigned char>(b));
  });
}

std::optional<RemoteAddress> ParseRemoteAddress(const std::string& device, PortDetail& problem) {
  problem = PortDetail::AddressForm;
  constexpr std::size_t kSchemeLength = 10;  // "rfc2217://"
  if (!IsRemoteDevice(device) || device.compare(8, 2, "//") != 0) return std::nullopt;
  const std::string rest = device.substr(kSchemeLength);
  const std::size_t colon = rest.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  std::string host = rest.substr(0, colon);
  const bool bracketed = host.size() > 2 && host.front() == '[' && host.back() == ']';
  if (bracketed) host = host.substr(1, host.size() - 2);
  const bool hostOk =
      !host.empty() && (bracketed ? std::all_of(host.begin(), host.end(), IsIpv6Character)
                                  : std::all_of(host.begin(), host.end(), IsHostCharacter));
  if (!hostOk) {
    problem = PortDetail::AddressHost;
    return std::nullopt;
  }
  const std::optional<uint16_t> port = PortNumberOf(rest.substr(colon + 1));
  if (!port) {
    problem = PortDetail::AddressPort;
    return std::nullopt;
  }
  problem = PortDetail::None;
  return RemoteAddress{host, *port};
}

PortOpenResult OpenRfc2217Port(std::unique_ptr<ByteStream> stream, Clock& clock,
                               const StopCheck& stopRequested) {
  auto port = std::make_unique<Rfc2217Port>(std::move(stream), clock, stopRequested);
  if (std::optional<PortOpenResult> refused = port->Negotiate()) return std::move(*refused);
  return PortOpenResult(std::move(port));
}

bool SaysInUse(const PortOpenResult& opened) {
  return opened.detail.what == PortDetail::ServerClosed &&
         opened.detail.serverText.find("in use") != std::string::npos;
}

PortOpenResult OpenRemoteLine(const StreamConnector& connect, Clock& clock,
                              const StopCheck& stopRequested) {
  const auto stopped = [&stopRequested] { return stopRequested && stopRequested(); };
  const uint32_t start = clock.NowMs();
  for (;;) {
    StreamOpenResult connected = connect();
    if (!connected.stream) return PortOpenResult::Failure(connected.failure, connected.detail);
    PortOpenResult opened = OpenRfc2217Port(std::move(connected.stream), clock, stopRequested);
    if (!SaysInUse(opened) || clock.NowMs() - start >= kInUseRetryMs) return opened;
    const uint32_t pauseStart = clock.NowMs();
    while (!stopped() && clock.NowMs() - pauseStart < kInUsePauseMs) clock.SleepMs(kStopLookMs);
    if (stopped()) return opened;
  }
}

PortOpenResult OpenRemotePort(const std::string& device, const StopCheck& stopRequested) {
  PortDetail problem = PortDetail::None;
  const std::optional<RemoteAddress> address = ParseRemoteAddress(device, problem);
  if (!address) return PortOpenResult::Failure(PortFailure::BadAddress, problem);
  return OpenRemoteLine(
      [&] { return ConnectTcp(address->host, address->port, kConnectTimeoutMs, stopRequested); },
      SystemClock::Instance(), stopRequested);
}

}  // namespace zenor9
