// Writes the seed corpora of the fuzz targets: real exchanges, taken from the
// emulated registers' answers to the bytes each command sends, with every fault
// of the emulator and a few timings the emulator does not make on its own; and
// the commands' bytes as the register target's input.
// Usage: fuzz_seeds <corpus dir>   (writes <dir>/<target>/<seed>)
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "emulator/line.h"
#include "fuzz/harness.h"
#include "link/frame.h"

using namespace zenor9;
using namespace zenor9::fuzz;

namespace {

constexpr uint16_t kTensCell = 11887;
constexpr uint32_t kClockStart = 1000;
constexpr uint32_t kClockNearWrap = 0xFFFFFF80;  // the counter wraps during the command

struct ProgramWrite {
  ParityMode parity;
  std::vector<uint8_t> bytes;
};

std::vector<ProgramWrite> IdentifyWrites(uint8_t address) {
  return {{ParityMode::Mark, {address}}, {ParityMode::Space, {0x01, 0x14, 0xEA}}};
}

std::vector<ProgramWrite> ReadWrites(uint8_t address, uint16_t ram) {
  const std::array<uint8_t, 4> payload{0x06, static_cast<uint8_t>(ram & 0xFF),
                                       static_cast<uint8_t>(ram >> 8), 0x01};
  return {{ParityMode::Mark, {address}}, {ParityMode::Space, BuildLinkFrame(payload)}};
}

std::vector<ProgramWrite> WriteWrites(uint8_t address, uint16_t ram, uint8_t value) {
  const std::array<uint8_t, 5> payload{0x05, static_cast<uint8_t>(ram & 0xFF),
                                       static_cast<uint8_t>(ram >> 8), 0x01, value};
  return {{ParityMode::Mark, {address}}, {ParityMode::Space, BuildLinkFrame(payload)}};
}

std::vector<ProgramWrite> ScanWrites() {
  std::vector<ProgramWrite> writes;
  for (uint8_t candidate : ScanCandidates()) writes.push_back({ParityMode::Mark, {candidate}});
  return writes;
}

// The line's answer to each write, as the script of a scripted port.
std::vector<uint8_t> AnswersOfLine(emu::Line& line, const std::vector<ProgramWrite>& writes) {
  std::vector<uint8_t> script;
  for (const ProgramWrite& write : writes) {
    std::vector<Answer> answers;
    for (uint8_t byte : write.bytes) {
      for (emu::Emission& emission : line.Deliver(byte, write.parity, 0)) {
        answers.push_back({static_cast<uint16_t>(emission.delayMs), 0, false, emission.bytes});
      }
    }
    AppendAnswersOfOneWrite(script, answers);
  }
  return script;
}

void Save(const std::filesystem::path& dir, const std::string& name,
          const std::vector<uint8_t>& input) {
  std::filesystem::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(input.data()),
             static_cast<std::streamsize>(input.size()));
}

// One register at `net` with `faults` on, answering the writes of each command.
struct Scenario {
  std::string name;
  uint8_t net;
  std::vector<emu::Fault> faults;
  uint32_t clockStart = kClockStart;
  bool twoRegisters = false;  // a second register with the same net number
};

std::vector<Scenario> Scenarios() {
  std::vector<Scenario> scenarios{{"ok", 7, {}},
                                  {"ok-net0", 0, {}},
                                  {"ok-net99", 99, {}},
                                  {"ok-wrap", 37, {}, kClockNearWrap},
                                  {"same-net-twice", 7, {}, kClockStart, true}};
  for (emu::Fault fault : emu::AllFaults())
    scenarios.push_back({emu::FaultName(fault), 37, {fault}});
  return scenarios;
}

void SaveCommandSeeds(const std::filesystem::path& corpus) {
  for (const Scenario& scenario : Scenarios()) {
    const auto seed = [&](const std::string& target, uint8_t value,
                          const std::function<std::vector<ProgramWrite>(uint8_t)>& writesOf) {
      emu::Line line;
      for (int i = 0; i < (scenario.twoRegisters ? 2 : 1); ++i) {
        emu::Register& reg = line.AddRegister(scenario.net);
        for (emu::Fault fault : scenario.faults) reg.SetFault(fault);
      }
      const CommandInput header{scenario.clockStart, scenario.net, kTensCell, value, 999};
      std::vector<uint8_t> input;
      AppendHeader(input, header);
      const std::vector<uint8_t> script =
          AnswersOfLine(line, writesOf(AddressByteOf(scenario.net)));
      input.insert(input.end(), script.begin(), script.end());
      Save(corpus / target, scenario.name, input);
    };
    seed("identify", 0, IdentifyWrites);
    seed("read", 0, [](uint8_t a) { return ReadWrites(a, kTensCell); });
    seed("write", '5', [](uint8_t a) { return WriteWrites(a, kTensCell, '5'); });
    seed("detect", 0x42, [](uint8_t) { return ScanWrites(); });
  }
}

// Timings the emulator does not produce: answers split by gaps, a device that
// goes away in the middle of a command.
void SaveTimingSeeds(const std::filesystem::path& corpus) {
  const uint8_t address = AddressByteOf(37);
  const auto save = [&](const std::string& target, const std::string& name, uint8_t value,
                        const std::vector<std::vector<Answer>>& answersPerWrite) {
    std::vector<uint8_t> input;
    AppendHeader(input, {kClockStart, 37, kTensCell, value, 999});
    for (const std::vector<Answer>& answers : answersPerWrite)
      AppendAnswersOfOneWrite(input, answers);
    Save(corpus / target, name, input);
  };
  const std::array<uint8_t, 4> readPayload{0x06, 0x6F, 0x2E, 0x01};
  const uint8_t readCheck = BuildLinkFrame(readPayload).back();
  save("read", "reply-split-by-gaps", 0,
       {{{1, 0, false, {address}}},
        {{1, 0, false, {readCheck}}, {300, 3, false, {0x01, 0x32, 0xCC}}}});
  save("read", "vanish-waiting-for-ack", 0, {{{1, 0, false, {address}}}, {{300, 0, true, {}}}});
  const std::array<uint8_t, 5> writePayload{0x05, 0x6F, 0x2E, 0x01, '5'};
  const uint8_t writeCheck = BuildLinkFrame(writePayload).back();
  save("write", "ack-at-700ms", '5', {{{1, 0, false, {address}}}, {{700, 0, false, {writeCheck}}}});
  const std::array<uint8_t, 9> identity{'Z', '9', 0, 0, 0, 0x01, 0x05, 0, 0};
  save("identify", "reply-during-reads", 0,
       {{{30, 0, false, {address}}},
        {{390, 0, false, {0xEA}}, {520, 2, false, BuildLinkFrame(identity)}}});
  save("identify", "vanish-after-echo", 0, {{{1, 0, false, {address}}}, {{100, 0, true, {}}}});
  std::vector<std::vector<Answer>> lateScan(40, std::vector<Answer>{});
  lateScan[3] = {{12, 0, false, {AddressByteOf(3)}}};  // answers after its probe's wait
  save("detect", "answer-after-probe-wait", 0x42, lateScan);
}

// Byte streams for the register itself: its net number, then (flags, byte)
// pairs, flags 1 for Mark. The commands as the program sends them, a frame for
// another register, and a write that runs over the end of the RAM.
void SaveRegisterSeeds(const std::filesystem::path& corpus) {
  const auto save = [&](const std::string& name, uint8_t net,
                        const std::vector<ProgramWrite>& writes) {
    std::vector<uint8_t> input{net};
    for (const ProgramWrite& write : writes) {
      for (uint8_t byte : write.bytes) {
        input.push_back(write.parity == ParityMode::Mark ? 1 : 0);
        input.push_back(byte);
      }
    }
    Save(corpus / "register", name, input);
  };
  const uint8_t address = AddressByteOf(37);
  std::vector<ProgramWrite> session = IdentifyWrites(address);
  for (const auto& writes : {ReadWrites(address, kTensCell), WriteWrites(address, kTensCell, '5'),
                             ReadWrites(address, kTensCell)}) {
    session.insert(session.end(), writes.begin(), writes.end());
  }
  save("identify-read-write-read", 37, session);
  save("frame-for-another", 37, WriteWrites(AddressByteOf(38), kTensCell, '5'));
  const std::array<uint8_t, 7> wrapping{0x05, 0xFE, 0xFF, 0x03, 'a', 'b', 'c'};
  save("write-over-the-end", 37,
       {{ParityMode::Mark, {address}}, {ParityMode::Space, BuildLinkFrame(wrapping)}});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
    return 2;
  }
  SaveCommandSeeds(argv[1]);
  SaveTimingSeeds(argv[1]);
  SaveRegisterSeeds(argv[1]);
  return 0;
}
