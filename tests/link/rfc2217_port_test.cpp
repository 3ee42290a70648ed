// The RFC 2217 backend over a scripted server on the virtual clock. The server
// behaves as ser2net does at its worst: it applies each SET-PARITY the moment it
// reads it, so every data byte of one write goes to the line in the parity the
// write ends with; answers come back a round trip later.
#include <gtest/gtest.h>

#include <map>

#include "emulator/arrival_queue.h"
#include "emulator/line.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/net_number.h"
#include "link/rfc2217_port.h"

namespace zenor9 {
namespace {

constexpr uint8_t kIac = 0xFF;
constexpr uint8_t kWill = 0xFB;
constexpr uint8_t kWont = 0xFC;
constexpr uint8_t kDo = 0xFD;
constexpr uint8_t kDont = 0xFE;
constexpr uint8_t kSb = 0xFA;
constexpr uint8_t kSe = 0xF0;
constexpr uint8_t kEcho = 1;
constexpr uint8_t kComPort = 44;

// How the scripted server answers the negotiation.
struct ServerHabits {
  bool speaksTelnet = true;
  bool comPort = true;
  bool binary = true;
  std::string farewell = {};  // when not empty: said at once, and then the connection ends
  uint8_t parityAnswer = 0;   // 0: the parity asked for; else this value (1 is NONE)
  uint32_t roundTripMs = 20;
  bool floods = false;  // sends 'A's as fast as they are read, for ever
};

class ScriptedServer final : public ByteStream {
 public:
  ScriptedServer(VirtualClock& clock, emu::Line& line, ServerHabits habits)
      : clock_(clock), line_(line), habits_(habits) {
    // Unasked, as ser2net does: an offer to echo (which must be refused) and a
    // modem state notification.
    if (habits_.speaksTelnet) Answer({kIac, kWill, kEcho, kIac, kSb, kComPort, 107, 0, kIac, kSe});
    Answer({habits_.farewell.begin(), habits_.farewell.end()});
  }

  bool Send(const uint8_t* data, std::size_t count, uint32_t /*timeoutMs*/) override {
    // Once it has said all and closed, the client's next write meets a reset.
    if (closed_ || (closesOnceSaid_ && toClient_.MsUntilNext(clock_.NowMs()).value_or(0) == 0))
      return false;
    ++writes_;
    std::vector<uint8_t> chunkData;
    parityInWrite_ = false;
    for (std::size_t i = 0; i < count; ++i) Parse(data[i], chunkData);
    misplacedParityChanges_ += dataSeen_ && parityInWrite_ && chunkData.empty();
    dataSeen_ = dataSeen_ || !chunkData.empty();
    for (uint8_t byte : chunkData) DeliverToLine(byte);
    if (writes_ == closeAfterWrites_) (answerFirst_ ? closesOnceSaid_ : closed_) = true;
    return true;
  }
  int Receive(uint8_t* buffer, std::size_t count) override {
    if (habits_.floods) {
      clock_.Advance(1);  // a fast network's time for a read's worth
      std::fill_n(buffer, count, 'A');
      *flooded_ += count;
      return static_cast<int>(count);
    }
    std::size_t taken = 0;
    while (taken < count) {
      const std::optional<uint8_t> byte = toClient_.TakeArrived(clock_.NowMs());
      if (!byte) break;
      buffer[taken++] = *byte;
    }
    const bool saidAll = closesOnceSaid_ && !toClient_.MsUntilNext(clock_.NowMs());
    if (taken == 0 && (closed_ || saidAll)) return -1;
    return static_cast<int>(taken);
  }
  void WaitReadable(uint32_t maxMs) override {
    const std::optional<uint32_t> next = toClient_.MsUntilNext(clock_.NowMs());
    clock_.Advance(next && !closed_ ? std::min(*next, maxMs) : maxMs);
  }

  // The connection ends once the next `writes` writes have arrived, or with
  // `answerFirst` once the answers to them have gone out too.
  void CloseAfterWrites(int writes, bool answerFirst = false) {
    closeAfterWrites_ = writes_ + writes;
    answerFirst_ = answerFirst;
  }
  // From now on it sends 'A's as fast as they are read.
  void Flood() { habits_.floods = true; }
  // The bytes it floods are counted in `count`, which outlives it: a port that
  // refuses the server on open destroys it.
  void CountFloodIn(std::size_t& count) { flooded_ = &count; }
  // Parity changes that came while bytes before them may not have left the line
  // (a register's answer still on its way to the client, or data ahead of the
  // change in the same write: ser2net would send those bytes in the new
  // parity), and, after the negotiation, ones in a write without the data they
  // govern.
  int MisplacedParityChanges() const { return misplacedParityChanges_; }
  bool PurgedItsQueues() const { return purged_; }
  const std::vector<uint8_t>& Refused() const { return refused_; }

 private:
  void Answer(const std::vector<uint8_t>& bytes) {
    for (uint8_t byte : bytes) toClient_.Schedule(clock_.NowMs() + habits_.roundTripMs, byte);
  }

  void DeliverToLine(uint8_t byte) {
    for (const emu::Emission& emission : line_.Deliver(byte, parity_, clock_.NowMs())) {
      for (uint8_t answer : emission.bytes) {
        const uint32_t due = clock_.NowMs() + habits_.roundTripMs + emission.delayMs;
        toClient_.Schedule(due, answer);
        if (answer == kIac) toClient_.Schedule(due, kIac);
        lastAnswerDueMs_ = due;
      }
    }
  }

  void Parse(uint8_t byte, std::vector<uint8_t>& chunkData) {
    if (!habits_.speaksTelnet) return;
    pending_.push_back(byte);
    if (pending_[0] != kIac) {
      chunkData.push_back(byte);
      pending_.clear();
    } else if (pending_.size() == 2 && byte == kIac) {
      chunkData.push_back(kIac);
      pending_.clear();
    } else if (pending_.size() == 3 && pending_[1] >= kWill && pending_[1] <= kDont) {
      OnOption(pending_[1], pending_[2]);
      pending_.clear();
    } else if (pending_.size() >= 4 && pending_[1] == kSb &&
               pending_[pending_.size() - 2] == kIac && byte == kSe) {
      OnComPort(pending_[3], pending_[4], !chunkData.empty());
      pending_.clear();
    }
  }

  void OnOption(uint8_t verb, uint8_t option) {
    if (verb == kDont || verb == kWont) {
      refused_.push_back(option);
      return;
    }
    const bool agree = option == kComPort ? habits_.comPort : option != 0 || habits_.binary;
    if (verb == kWill) Answer({kIac, static_cast<uint8_t>(agree ? kDo : kDont), option});
    if (verb == kDo) Answer({kIac, static_cast<uint8_t>(agree ? kWill : kWont), option});
  }

  void OnComPort(uint8_t command, uint8_t value, bool afterData) {
    purged_ = purged_ || command == 12;
    if (command == 3) {
      parityInWrite_ = true;
      misplacedParityChanges_ +=
          afterData || static_cast<int32_t>(lastAnswerDueMs_ - clock_.NowMs()) > 0;
      parity_ = value == 4 ? ParityMode::Mark : ParityMode::Space;
      value = habits_.parityAnswer != 0 ? habits_.parityAnswer : value;
    }
    Answer({kIac, kSb, kComPort, static_cast<uint8_t>(command + 100), value, kIac, kSe});
    // A line state notification in the middle of the data stream.
    Answer({kIac, kSb, kComPort, 106, 0x60, kIac, kSe});
  }

  VirtualClock& clock_;
  emu::Line& line_;
  ServerHabits habits_;
  emu::ArrivalQueue toClient_;
  std::vector<uint8_t> pending_;
  ParityMode parity_ = ParityMode::Space;
  int writes_ = 0;
  int closeAfterWrites_ = -1;
  bool answerFirst_ = false;
  bool closed_ = false;
  bool closesOnceSaid_ = !habits_.farewell.empty();
  std::size_t uncounted_ = 0;
  std::size_t* flooded_ = &uncounted_;
  uint32_t lastAnswerDueMs_ = 0;  // when the registers' last answer reaches the client
  int misplacedParityChanges_ = 0;
  bool parityInWrite_ = false;
  bool dataSeen_ = false;
  bool purged_ = false;
  std::vector<uint8_t> refused_;
};

struct RemoteLine {
  // A stop is requested once the clock reaches `stopAtMs` (never when 0).
  explicit RemoteLine(ServerHabits habits = {}, uint32_t stopAtMs = 0) {
    auto owned = std::make_unique<ScriptedServer>(clock, line, habits);
    server = owned.get();
    server->CountFloodIn(floodedBytes);
    StopCheck stop;
    if (stopAtMs != 0) stop = [this, stopAtMs] { return clock.NowMs() >= stopAtMs; };
    opened = OpenRfc2217Port(std::move(owned), clock, stop);
    if (!opened.port) server = nullptr;  // gone with the refused port
    channel.clock = &clock;
    channel.port = std::move(opened.port);
  }

  VirtualClock clock{1000};
  emu::Line line;
  ScriptedServer* server = nullptr;
  std::size_t floodedBytes = 0;
  PortOpenResult opened;
  SerialChannel channel;
};

// Net number 0's address byte is 0xFF, as is a cell written "off": both must
// travel doubled. Net numbers 0, 1 and 12 sit where a late echo would show as a
// ghost at the next net number.
TEST(Rfc2217PortTest, EveryByteReachesTheLineInItsParityAtTwentyMsRoundTripTillTheLinkIsLost) {
  RemoteLine remote;
  emu::Register& first = remote.line.AddRegister(0);
  remote.line.AddRegister(1);
  remote.line.AddRegister(12);
  SerialChannel& channel = remote.channel;
  ASSERT_TRUE(channel.IsOpen()) << int(remote.opened.failure);
  EXPECT_EQ(RoundTripMs(channel), 20u);
  EXPECT_EQ(remote.server->Refused(), std::vector<uint8_t>{kEcho});

  std::vector<uint8_t> found;
  WalkNetNumbers(channel, {}, [&](const ProbeReport& report) {
    EXPECT_NE(report.result, ProbeResult::Other) << int(report.net);
    if (report.result == ProbeResult::Answered) found.push_back(report.net);
    return true;
  });
  EXPECT_EQ(found, (std::vector<uint8_t>{0, 1, 12}));

  int32_t version = 0;
  EXPECT_EQ(IdentifyRegister(channel, 0xFF, version), IdentifyAnswer::Version);
  EXPECT_EQ(version, 105);
  EXPECT_TRUE(WriteRegisterByte(channel, 0xFF, emu::kEmulatedPrefixTensCell, 0xFF));
  EXPECT_EQ(first.ReadRam(emu::kEmulatedPrefixTensCell), 0xFF);
  uint8_t value = 0;
  EXPECT_TRUE(ReadRegisterByte(channel, 0xFF, emu::kEmulatedPrefixUnitsCell, value));
  EXPECT_EQ(value, '3');

  std::vector<uint8_t> inMark;
  std::vector<uint8_t> inSpace;
  for (const emu::WireByte& byte : remote.line.Log()) {
    if (byte.toRegister) (byte.parity == ParityMode::Mark ? inMark : inSpace).push_back(byte.value);
  }
  std::vector<uint8_t> addresses;
  for (uint8_t net = 0; net < kNetNumberCount; ++net) addresses.push_back(ProbeCandidate(net));
  addresses.insert(addresses.end(), {0xFF, 0xFF, 0xFF});  // identify, write, read
  EXPECT_EQ(inMark, addresses);
  std::vector<uint8_t> frames = {0x01, 0x14, 0xEA};
  for (const std::vector<uint8_t>& payload :
       {std::vector<uint8_t>{5, 0x6F, 0x2E, 1, 0xFF}, std::vector<uint8_t>{6, 0x70, 0x2E, 1}}) {
    const std::vector<uint8_t> frame = BuildLinkFrame(payload);
    frames.insert(frames.end(), frame.begin(), frame.end());
  }
  EXPECT_EQ(inSpace, frames);
  EXPECT_EQ(remote.server->MisplacedParityChanges(), 0);
  EXPECT_FALSE(remote.server->PurgedItsQueues());

  // A client that switches before the echo is caught: the address reaches the
  // line in Space and no register answers it.
  remote.line.ClearLog();
  channel.port->SetParity(ParityMode::Mark);
  const uint8_t address = 0xFE;
  channel.port->Write(&address, 1, 100);
  channel.port->SetParity(ParityMode::Space);
  const std::vector<uint8_t> frame = {1, 0x14, 0xEA};
  channel.port->Write(frame.data(), 3, 100);
  EXPECT_EQ(remote.server->MisplacedParityChanges(), 1);

  // A connection lost mid-exchange fails the port at once.
  remote.server->CloseAfterWrites(1);  // the address byte's write is the last
  const uint32_t start = remote.clock.NowMs();
  EXPECT_FALSE(ReadRegisterByte(channel, AddressByteOfNetNumber(1), 11887, value));
  EXPECT_TRUE(channel.port->Failed());
  EXPECT_LT(remote.clock.NowMs() - start, kAckWaitMs);
}

// Each refusal within its time: a flood and a stop at once, silence within the
// negotiation's 3 s. What a server said before it closed is quoted on one line,
// also when it closed before the client's first writes were through.
TEST(Rfc2217PortTest, ServersThatCannotCarryTheNinthBitAreRefusedWithTheReason) {
  struct Case {
    const char* what;
    ServerHabits habits;
    PortFailure failure;
    PortDetail detail;
    uint32_t mostMs = kNegotiationTimeoutMs + 1;
    std::string said = {};
    uint32_t stopAfterMs = 0;
  };
  using enum PortDetail;
  constexpr PortFailure kNoRfc2217 = PortFailure::NoRfc2217;
  constexpr PortFailure kClosed = PortFailure::DeviceError;
  // A server that says `text` at once, a round trip later, and closes.
  const auto saying = [](const char* text, uint32_t roundTripMs = 20) {
    return ServerHabits{.speaksTelnet = false, .farewell = text, .roundTripMs = roundTripMs};
  };
  for (const Case& each : std::vector<Case>{
           {"sredird's answer", {.parityAnswer = 1}, PortFailure::NoStickParity, ParityOtherwise},
           {"no COM-PORT-OPTION", {.comPort = false}, kNoRfc2217, ComPortRefused},
           {"no binary", {.binary = false}, kNoRfc2217, BinaryRefused},
           {"no telnet at all", {.speaksTelnet = false}, kNoRfc2217, NoTelnetAnswer},
           {"a flood", {.floods = true}, kNoRfc2217, Flooded, 10},
           {"a stop", {.speaksTelnet = false}, kNoRfc2217, Stopped, 500, {}, 500},
           {"in use", saying("Port already in use\r\n\x01"), kClosed, ServerClosed, 40,
            "Port already in use"},
           {"HTTP", saying("HTTP/1.1 400 Bad Request\r\nconnection: close\r\n\r\n"), kClosed,
            ServerClosed, 40, "HTTP/1.1 400 Bad Request connection: close"},
           {"closed before the client's writes", saying("Port's device already in use\r\n", 0),
            kClosed, ServerClosed, 0, "Port's device already in use"},
       }) {
    SCOPED_TRACE(each.what);
    RemoteLine remote(each.habits, each.stopAfterMs == 0 ? 0 : 1000 + each.stopAfterMs);
    EXPECT_FALSE(remote.channel.IsOpen());
    EXPECT_EQ(remote.opened.failure, each.failure);
    EXPECT_EQ(remote.opened.detail.what, each.detail);
    EXPECT_LE(remote.clock.NowMs() - 1000, each.mostMs);
    EXPECT_EQ(remote.opened.detail.serverText, each.said);
    if (each.detail == ParityOtherwise) {
      EXPECT_EQ(remote.opened.detail.parityAsked, 4);  // MARK
      EXPECT_EQ(remote.opened.detail.parityAnswered, 1);
    }
    EXPECT_LE(remote.floodedBytes, 8192u);
  }
}

// A server that answers and then closes: the answer counts, and the write it
// acknowledged is done. A flood after the negotiation is held to a bounded
// queue, and each look at it takes a bounded part.
TEST(Rfc2217PortTest, AnAnswerBeforeTheCloseCountsAndAFloodStaysBounded) {
  RemoteLine answering;
  emu::Register& reg = answering.line.AddRegister(5);
  answering.server->CloseAfterWrites(2, true);  // the frame, once acknowledged
  EXPECT_TRUE(WriteRegisterByte(answering.channel, AddressByteOfNetNumber(5),
                                emu::kEmulatedPrefixUnitsCell, '7'));
  EXPECT_EQ(reg.ReadRam(emu::kEmulatedPrefixUnitsCell), '7');
  EXPECT_TRUE(answering.channel.port->Failed());

  RemoteLine flooding;
  flooding.server->Flood();
  for (uint32_t look = 1; look <= 3; ++look) {
    flooding.channel.port->WaitReadable(10);
    EXPECT_LE(flooding.channel.port->QueuedCount(), 4096u);
    EXPECT_LE(flooding.floodedBytes, look * 2 * 4096);
  }
}

// A server that says its device is in use (ser2net, while the client before
// still holds it) is tried again for about a second; any other refusal, and a
// stop, end the tries at once.
TEST(Rfc2217PortTest, ADeviceInUseIsTriedAgainForAboutASecond) {
  struct Case {
    const char* what;
    int refusals;          // connections refused before one is served
    const char* farewell;  // of each refusal
    uint32_t stopAtMs;     // 0: no stop
    bool opens;
    int connects;  // at least, and at most 1 more
  };
  for (const Case& each : std::vector<Case>{
           {"busy a moment", 3, "Port's device already in use\r\n", 0, true, 4},
           {"busy for long", 100, "Port's device already in use\r\n", 0, false, 9},
           {"another refusal", 100, "Bad Request\r\n", 0, false, 1},
           {"a stop in a pause", 100, "Port already in use\r\n", 1300, false, 3},
       }) {
    SCOPED_TRACE(each.what);
    VirtualClock clock(1000);
    emu::Line line;
    line.AddRegister(5);
    int connects = 0;
    const StreamConnector connect = [&] {
      const bool refuses = connects++ < each.refusals;
      return StreamOpenResult{
          std::make_unique<ScriptedServer>(
              clock, line,
              ServerHabits{.speaksTelnet = !refuses, .farewell = refuses ? each.farewell : ""}),
          PortFailure::None,
          {}};
    };
    StopCheck stop;
    if (each.stopAtMs != 0) stop = [&] { return clock.NowMs() >= each.stopAtMs; };
    const PortOpenResult opened = OpenRemoteLine(connect, clock, stop);
    EXPECT_EQ(opened.port != nullptr, each.opens);
    EXPECT_GE(connects, each.connects);
    EXPECT_LE(connects, each.connects + 1);
    EXPECT_LE(clock.NowMs() - 1000, 1310u);
    if (!each.opens) {
      EXPECT_EQ(opened.detail.what, PortDetail::ServerClosed);
      EXPECT_EQ(opened.detail.serverText + "\r\n", each.farewell);
    }
  }
}

TEST(Rfc2217PortTest, AddressesAreRfc2217HostAndPortAndNothingElse) {
  PortDetail problem = PortDetail::None;
  const std::optional<RemoteAddress> name =
      ParseRemoteAddress("RFC2217://shop-12-nport:4001", problem);
  ASSERT_TRUE(name) << int(problem);
  EXPECT_EQ(name->host, "shop-12-nport");
  EXPECT_EQ(name->port, 4001);
  const std::optional<RemoteAddress> v6 = ParseRemoteAddress("rfc2217://[::1]:65535", problem);
  ASSERT_TRUE(v6) << int(problem);
  EXPECT_EQ(v6->host, "::1");
  const std::map<PortDetail, std::vector<const char*>> wrong = {
      {PortDetail::AddressForm, {"rfc2217://host", "rfc2217:/host:4001"}},
      {PortDetail::AddressHost,
       {"rfc2217://:4001", "rfc2217://ho st:4001", "rfc2217://user@host:4001",
        "rfc2217://::1:4001"}},
      {PortDetail::AddressPort,
       {"rfc2217://host:0", "rfc2217://host:65536", "rfc2217://host:40x", "rfc2217://host:4001/"}}};
  for (const auto& [why, addresses] : wrong) {
    for (const char* bad : addresses) {
      EXPECT_TRUE(IsRemoteDevice(bad)) << bad;
      EXPECT_FALSE(ParseRemoteAddress(bad, problem)) << bad;
      EXPECT_EQ(problem, why) << bad;
    }
  }
  EXPECT_FALSE(IsRemoteDevice("/dev/ttyUSB0"));
  EXPECT_FALSE(IsRemoteDevice("COM1"));
}

}  // namespace
}  // namespace zenor9
