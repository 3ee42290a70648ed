// The JSON that scripts and playbooks hold the program to. docs/json.md lists
// every key of every command, every error and every reason, and the program
// prints exactly those across runs that end in each way a command can end; a
// key of the released list of the schema number (json_schema_N.txt) only goes
// with a new number. And the runs a fleet relies on: a check that writes
// nothing, a write of only what differs, a second run that changes nothing,
// and a port that goes away in the middle.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "cli/outcome.h"
#include "cli/port_failure_words.h"
#include "emulator/pty_host.h"
#include "line_events.h"
#include "link/commands.h"
#include "remote_line_support.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::ChildResult;

// The FNV-1a hash of json_schema_N.txt by schema number: a released list
// changes only together with the number.
const std::map<int, uint64_t> kReleasedLists = {{1, 0x1140a4d30cc4761eULL}};

// "COMMAND PATH" ("* PATH" for every command), "error VALUE", "reason VALUE".
using Keys = std::set<std::string>;

std::string TextOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

uint64_t Fnv1a(const std::string& text) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char c : text) hash = (hash ^ c) * 0x100000001b3ULL;
  return hash;
}

// Each table row's first cell in docs/json.md, in backticks, for the commands
// its section's heading names in backticks; values under Errors and Reasons.
Keys DocumentedKeys() {
  static const std::regex code("`([^`]+)`");
  std::istringstream lines(TextOf(fs::path(ZENOR9_SOURCE_DIR) / "docs" / "json.md"));
  Keys keys;
  std::vector<std::string> commands;
  for (std::string line; std::getline(lines, line);) {
    const bool heading = line.rfind("## ", 0) == 0;
    if (heading) {
      const std::map<std::string, std::string> named = {
          {"## Every command", "*"}, {"## Errors", "error"}, {"## Reasons", "reason"}};
      commands.assign(named.count(line) ? 1 : 0, named.count(line) ? named.at(line) : "");
    }
    if (!heading && line.rfind("| `", 0) != 0) continue;
    const std::string cell = heading ? line : line.substr(0, line.find('|', 1));
    for (std::sregex_iterator at(cell.begin(), cell.end(), code), end; at != end; ++at) {
      if (heading) commands.push_back((*at)[1]);
      for (const std::string& command : heading ? std::vector<std::string>{} : commands) {
        keys.insert(command + " " + (*at)[1].str());
      }
    }
  }
  return keys;
}

// Every key path of what was printed ("registers[].net", "com.COMn"), and
// the values of "error" and "reason".
void AddPaths(const std::string& command, const json& value, const std::string& path, Keys& keys) {
  static const std::regex comName("COM[0-9]+");
  for (const json& item : value.is_array() ? value : json::array()) {
    AddPaths(command, item, path.empty() ? path : path + "[]", keys);
  }
  if (!value.is_object()) return;
  for (const auto& [name, inner] : value.items()) {
    const std::string key = std::regex_match(name, comName) ? "COMn" : name;
    const std::string innerPath = path.empty() ? key : path + "." + key;
    keys.insert(command + " " + innerPath);
    if ((key == "error" || key == "reason") && inner.is_string()) {
      keys.insert(key + " " + inner.get<std::string>());
    }
    AddPaths(command, inner, innerPath, keys);
  }
}

class JsonContractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    good.AddRegister(3).SetPrefix("25");
    good.AddRegister(7).SetPrefix("27");
    good.AddRegister(12).SetPrefix("off");
    ASSERT_TRUE(goodHost.Start());
  }

  ChildResult RunText(const std::vector<std::string>& args, testing::Environment extra = {}) {
    good.ClearLog();
    extra.emplace("ZENOR9_COM1", goodHost.DevicePath());
    extra.emplace("ZENOR9_JOURNAL", journal.string());
    extra.emplace("XDG_CONFIG_HOME", config.string());
    return testing::RunZenor9(args, extra);
  }
  // `command` with --json: what it printed, its keys taken in.
  json Run(const std::string& command, std::vector<std::string> args,
           const testing::Environment& extra = {}) {
    args.insert(args.begin(), {"--json", command});
    return Take(command, RunText(args, extra));
  }
  json Take(const std::string& command, const ChildResult& result) {
    const json printed = json::parse(result.out, nullptr, false);
    EXPECT_FALSE(printed.is_discarded()) << result.out << result.err;
    if (command != "journal") {
      EXPECT_EQ(printed.value("schema", 0), cli::kJsonSchema) << result.out;
    }
    AddPaths(command, printed, "", printed_);
    return printed;
  }

  // Write frames that went to the good line (an address byte, the count 5,
  // the write command), and address bytes other than 3, 7 and 12 (a scan).
  std::pair<int, int> WritesAndOtherAddresses() const {
    std::vector<emu::WireByte> sent;
    for (const emu::WireByte& byte : good.Log()) {
      if (byte.toRegister) sent.push_back(byte);
    }
    std::pair<int, int> counted{0, 0};
    for (std::size_t i = 0; i < sent.size(); ++i) {
      if (sent[i].parity != ParityMode::Mark) continue;
      counted.first +=
          i + 2 < sent.size() && sent[i + 1].value == 5 && sent[i + 2].value == kCommandWriteRam;
      counted.second += sent[i].value != AddressByteOfNetNumber(3) &&
                        sent[i].value != AddressByteOfNetNumber(7) &&
                        sent[i].value != AddressByteOfNetNumber(12);
    }
    return counted;
  }

  emu::Line good;
  emu::PtyHost goodHost{good};
  const testing::ScratchFolder folder;
  const fs::path journal = folder.path / "journal.jsonl";
  const fs::path config = folder.path / "config";
  Keys printed_;
};

// Every way a command can end, a port that goes away among them: what is
// printed is what docs/json.md lists, and what schema 1 released is still there.
TEST_F(JsonContractTest, EveryWayACommandEndsPrintsTheDocumentedKeys) {
  emu::Line faulty;
  faulty.AddRegister(4).SetFault(emu::Fault::WrongEcho);
  faulty.AddRegister(9).SetFault(emu::Fault::BadReplyCheck);
  faulty.AddRegister(12, 0x01, 0x06);
  faulty.AddRegister(20).SetFault(emu::Fault::IgnoreWrites);
  // Net 30 answers the first address byte of a run, its identify, and nothing after.
  emu::Register& mute = faulty.AddRegister(30);
  std::atomic<int> addressedMute{0};
  faulty.SetObserver([&](const emu::WireByte& byte) {
    if (byte.toRegister && byte.parity == ParityMode::Mark && byte.value == mute.AddressByte()) {
      mute.SetFault(emu::Fault::Silent, ++addressedMute > 1);
    }
  });
  emu::PtyHost faultyHost{faulty};
  ASSERT_TRUE(faultyHost.Start());
  const std::string goodPort = goodHost.DevicePath();
  const std::string faultyPort = faultyHost.DevicePath();
  fs::create_directories(config / "zenor9");
  std::ofstream(config / "zenor9" / "ports") << "COM7 /dev/ttyUSB3\n";  // an ignored line

  for (const std::string& port : {goodPort, std::string("/nonexistent/ttyUSB9")}) {
    Run("identify", {"--port", port, "--net", "3"});
    Run("detect", {"--port", port});
    Run("read", {"--port", port, "--net", "3"});
    Run("write", {"24", "--port", port, "--net", "3"});
    Run("scan", {"--port", port});
  }
  Run("identify", {"--port", goodPort, "--net", "44", "--retries", "0"});
  Run("identify", {"--port", faultyPort, "--all", "--retries", "0"});
  Run("identify", {"--port", faultyPort, "--net", "9,12"});
  Run("scan", {"--port", faultyPort});
  Run("read", {"--port", goodPort});  // several registers
  Run("read", {"--port", faultyPort, "--all", "--retries", "0"});
  Run("write", {"25", "--port", goodPort});
  Run("write", {"25", "--port", goodPort, "--net", "3,7", "--if-different", "--label", "shop",
                "--note", "INC-1"});
  Run("write", {"26", "--port", faultyPort, "--all", "--retries", "0"});
  Run("write", {"26", "--port", goodPort, "--net", "7", "--no-verify"},
      {{"ZENOR9_JOURNAL", (folder.path / "missing" / "journal.jsonl").string()}});
  Run("write", {"35"});  // a usage error
  Run("journal", {});
  Run("doctor", {"--port", goodPort, "--net", "3"});
  Run("doctor", {"--port", "/nonexistent/ttyUSB9"});
  Run("ports", {});
  Run("ports", {"--map", "COM2=/nonexistent/ttyUSB2"});
  fs::remove(config / "zenor9" / "ports");
  fs::create_directories(config / "zenor9" / "ports");  // a map that cannot be read
  Run("ports", {});
  Run("ports", {"--map", "COM2=/nonexistent/ttyUSB2"});
  Run("read", {"--port", "COM2", "--net", "3"});
  Run("read", {"--port", faultyPort, "--net", "30", "--retries", "0"});
  addressedMute = 0;
  // What net 30 holds is unknown: a write would go ahead.
  const json unread = Run("write", {"25", "--port", faultyPort, "--net", "30", "--check"});
  EXPECT_EQ(unread["error"], "command-failed");
  EXPECT_EQ(unread["changed"], true);
  // The port goes away at net 2 of 1, 2, 3: the server of the remote line is
  // killed, then the pseudo-terminal's master closes. Net 2 fails with its own
  // words, not as a silent register would, and net 3 is not reached.
  emu::Line lost;
  for (uint8_t net : {1, 2, 3}) lost.AddRegister(net);
  emu::PtyHost lostHost{lost};
  ASSERT_TRUE(lostHost.Start());
  const testing::Environment lostJournal = {
      {"ZENOR9_JOURNAL", (folder.path / "lost.jsonl").string()}};
  {
    const testing::Ser2net server(lostHost.DevicePath());
    ASSERT_EQ(server.Problem(), "");
    Run("scan", {"--port", server.Address()});
    const testing::AtFirstAddressByte atNet2(lost, 2, [&server] { server.Kill(); });
    const ChildResult remote =
        RunText({"--port", server.Address(), "--net", "1,2,3", "write", "25"}, lostJournal);
    EXPECT_EQ(remote.exitCode, 1) << remote.err;
    EXPECT_EQ(remote.out, "ККМ 1: 25 (было 23; проверено чтением)\nККМ 2: ошибка: связь с " +
                              server.Address() +
                              " потеряна: сервер закрыл соединение или отказала сеть\n"
                              "ККМ 3: не записана: порт потерян\n"
                              "всего ККМ: 3; изменено: 1, без изменений: 0, с ошибкой: 2\n");
    EXPECT_EQ(remote.err, "Дальше: zenor9 doctor --port " + server.Address() +
                              " --net 2 скажет, что мешает связи\n");
  }
  const testing::AtFirstAddressByte atNet2(lost, 2, [&lostHost] { lostHost.Vanish(); });
  const json local =
      Run("write", {"26", "--port", lostHost.DevicePath(), "--net", "1,2,3"}, lostJournal);
  const json& gone = local["registers"][1];
  EXPECT_EQ(gone["error"], "port-lost");
  EXPECT_EQ(gone["message"],
            "порт " + lostHost.DevicePath() + " пропал: адаптер отключён или устройство закрыто");
  EXPECT_EQ(gone["written"], false);
  EXPECT_EQ(gone["retries"], 0);  // a lost port is not tried again
  EXPECT_EQ(local["registers"][2]["error"], "not-reached");
  EXPECT_EQ(lost.RegisterAt(1).Prefix(), "23");
  EXPECT_EQ(lost.RegisterAt(2).Prefix(), "23");
  // Net 1 twice, net 2 twice as never written; net 3 never begun.
  const std::vector<json> records = testing::JournalLines(folder.path / "lost.jsonl");
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[3]["net"], 2);
  EXPECT_EQ(records[3]["error"], "port-lost");
  EXPECT_EQ(records[3]["written"], false);
  {
    emu::Line empty;
    emu::PtyHost emptyHost{empty};
    ASSERT_TRUE(emptyHost.Start());
    std::atomic<pid_t> child{0};
    const testing::AtFirstAddressByte atNet5(empty, 5, [&child] { ::kill(child, SIGINT); });
    testing::BackgroundZenor9 scan({"--json", "--port", emptyHost.DevicePath(), "scan"});
    child = scan.Pid();
    Take("scan", scan.Stop(0));
  }

  const Keys documented = DocumentedKeys();
  Keys printedPaths;
  for (const std::string& key : printed_) {
    const std::string path = key.substr(key.find(' ') + 1);
    printedPaths.insert(path);
    EXPECT_TRUE(documented.count(key) || documented.count("* " + path))
        << key << ": printed, not in docs/json.md";
  }
  Keys reasons;
  for (const std::string& key : documented) {
    const std::string path = key.substr(key.find(' ') + 1);
    if (key.rfind("reason ", 0) == 0) reasons.insert(key);
    // Many reasons cannot be had here: the program's own list is held to the
    // docs below. Windows lists its ports otherwise, and some computers have none.
    if (key.rfind("reason ", 0) == 0 ||
        (path.rfind("ports[].", 0) == 0 && !printed_.count("ports ports[].device")) ||
        path == "ports[].name" || path == "ports[].kernel-device" ||
        path == "ports[].friendly-name") {
      continue;
    }
    EXPECT_TRUE(key[0] == '*' ? printedPaths.count(path) : printed_.count(key))
        << key << ": in docs/json.md, printed by no run";
  }
  Keys programReasons;
  for (int failure = 1; failure <= static_cast<int>(PortFailure::NoStickParity); ++failure) {
    programReasons.insert(std::string("reason ") +
                          cli::PortFailureKey(static_cast<PortFailure>(failure)));
  }
  for (portmap::MapFault fault : {portmap::MapFault::Unreadable, portmap::MapFault::LineIgnored}) {
    programReasons.insert(std::string("reason ") + cli::MapFaultKey(fault));
  }
  EXPECT_EQ(reasons, programReasons);

  const int schema = cli::kJsonSchema;
  const fs::path released = fs::path(ZENOR9_SOURCE_DIR) / "tests" / "cli" /
                            ("json_schema_" + std::to_string(schema) + ".txt");
  const std::string list = TextOf(released);
  ASSERT_TRUE(kReleasedLists.count(schema)) << "schema " << schema << " has no released list";
  EXPECT_EQ(Fnv1a(list), kReleasedLists.at(schema))
      << released << " changed (its hash is now 0x" << std::hex << Fnv1a(list)
      << "): a released list stays as it is. Keys added need no new number; a key or value "
         "renamed or removed does: raise kJsonSchema and write json_schema_N.txt for it";
  std::istringstream keys(list);
  for (std::string key; std::getline(keys, key);) {
    EXPECT_TRUE(key.empty() || key[0] == '#' || documented.count(key))
        << key << ": of schema " << schema << ", gone without a new schema number";
  }
}

// A chain's runs over one line: a check, the write of what differs, the same
// again, and the journal an auditor reads. A list of net numbers is addressed
// directly, never scanned.
TEST_F(JsonContractTest, ACheckThenAWriteOfWhatDiffersThenOneThatChangesNothing) {
  const std::vector<std::string> line = {"25", "--net", "3,7,12"};
  const auto withLine = [&line](std::vector<std::string> args) {
    args.insert(args.begin(), line.begin(), line.end());
    return args;
  };
  const json check = Run("write", withLine({"--check", "--label", "shop 12"}));
  EXPECT_EQ(check["check"], true);
  EXPECT_EQ(check["summary"],
            json::parse(R"({"registers":3,"changed":2,"unchanged":1,"failed":0})"));
  EXPECT_EQ(check["registers"][0], json::parse(R"({"net":3,"ok":true,"version":105,"prefix":"25",
      "before":"25","asked":"25","written":false,"changed":false,"retries":0})"));
  EXPECT_EQ(check["registers"][1], json::parse(R"({"net":7,"ok":true,"version":105,"prefix":"27",
      "before":"27","asked":"25","written":false,"changed":true,"retries":0})"));
  EXPECT_EQ(WritesAndOtherAddresses(), std::make_pair(0, 0));
  EXPECT_EQ(RunText({"write", "25", "--net", "12", "--check"}).out,
            "выкл -> 25 (будет записано без --check)\n");
  EXPECT_FALSE(fs::exists(journal));

  std::vector<std::string> args =
      withLine({"--if-different", "--label", "shop 12", "--note", "INC-4711"});
  args.insert(args.begin(), "write");
  const ChildResult written = RunText(args);
  EXPECT_EQ(written.exitCode, 0) << written.err;
  EXPECT_EQ(written.out,
            "ККМ 3: 25 (уже было)\nККМ 7: 25 (было 27; проверено чтением)\n"
            "ККМ 12: 25 (было выкл; проверено чтением)\n"
            "всего ККМ: 3; изменено: 2, без изменений: 1, с ошибкой: 0\n");
  EXPECT_EQ(WritesAndOtherAddresses(), std::make_pair(4, 0));  // two cells of 7 and of 12

  const json again = Run("write", withLine({"--if-different"}));
  EXPECT_EQ(again["changed"], false);
  EXPECT_EQ(again["summary"],
            json::parse(R"({"registers":3,"changed":0,"unchanged":3,"failed":0})"));
  EXPECT_EQ(WritesAndOtherAddresses(), std::make_pair(0, 0));
  const json read = Run("read", {"--net", "3,7,12"});
  EXPECT_EQ(read["summary"], again["summary"]);
  EXPECT_EQ(WritesAndOtherAddresses(), std::make_pair(0, 0));

  // A plain write rewrites the cells: written, no change.
  const json rewritten = Run("write", {"25", "--net", "7"});
  EXPECT_EQ(rewritten["written"], true);
  EXPECT_EQ(rewritten["changed"], false);
  const std::vector<json> records = testing::JournalLines(journal);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0]["net"], 7);
  EXPECT_EQ(records[1]["note"], "INC-4711");
  EXPECT_EQ(records[2]["changed"], false);
  const json changed = Run("journal", {"--changed-only"});
  EXPECT_EQ(changed, json::array({records[0], records[1]}));
  EXPECT_EQ(Run("journal", {"--label", "shop 12"}), changed);
}

}  // namespace
}  // namespace zenor9
