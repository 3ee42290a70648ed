// The JSON as a contract: docs/json.md lists every key of every command, every
// error and every reason, and the program prints exactly those, across runs
// that end in each way a command can end. A key or a value that the released
// list of the schema number (json_schema_N.txt) holds may only go when the
// number grows, and that list itself only changes with the number.
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
#include "remote_line_support.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::ChildResult;

// What this program's released lists say, by schema number: the FNV-1a hash of
// json_schema_N.txt. A list changes only together with the number.
const std::map<int, uint64_t> kReleasedLists = {{1, 0xdc370398e85da091ULL}};

// "COMMAND PATH" ("* PATH" for every command), "error VALUE" and "reason VALUE".
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

// The keys docs/json.md lists: each table row's first cell, in backticks, for
// the commands its section's heading names in backticks ("*" under Every
// command); the first cells under Errors and Reasons as values.
Keys DocumentedKeys() {
  static const std::regex code("`([^`]+)`");
  std::istringstream lines(TextOf(fs::path(ZENOR9_SOURCE_DIR) / "docs" / "json.md"));
  Keys keys;
  std::vector<std::string> commands;
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("## ", 0) == 0) {
      commands.clear();
      if (line == "## Every command") commands = {"*"};
      if (line == "## Errors") commands = {"error"};
      if (line == "## Reasons") commands = {"reason"};
      for (std::sregex_iterator at(line.begin(), line.end(), code), end; at != end; ++at) {
        commands.push_back((*at)[1]);
      }
      continue;
    }
    if (line.rfind("| `", 0) != 0) continue;
    const std::string cell = line.substr(0, line.find('|', 1));
    for (std::sregex_iterator at(cell.begin(), cell.end(), code), end; at != end; ++at) {
      for (const std::string& command : commands) keys.insert(command + " " + (*at)[1].str());
    }
  }
  return keys;
}

// Every key path of a printed object: "registers[].net", "com.COMn".
void AddPaths(const std::string& command, const json& value, const std::string& path, Keys& keys) {
  static const std::regex comName("COM[0-9]+");
  if (value.is_array()) {
    for (const json& item : value) AddPaths(command, item, path + "[]", keys);
    return;
  }
  if (!value.is_object()) return;
  for (const auto& item : value.items()) {
    const std::string key = std::regex_match(item.key(), comName) ? "COMn" : item.key();
    const std::string inner = path.empty() ? key : path + "." + key;
    keys.insert(command + " " + inner);
    if (key == "error" && item.value().is_string())
      keys.insert("error " + item.value().get<std::string>());
    if (key == "reason") keys.insert("reason " + item.value().get<std::string>());
    AddPaths(command, item.value(), inner, keys);
  }
}

// The reasons the program can give: one per way a port fails to open, and
// per way the COM map gives a COMn no device.
Keys ReasonsOfTheProgram() {
  Keys reasons;
  for (int failure = 1; failure <= static_cast<int>(PortFailure::NoStickParity); ++failure) {
    reasons.insert(std::string("reason ") + cli::PortFailureKey(static_cast<PortFailure>(failure)));
  }
  for (portmap::MapFault fault : {portmap::MapFault::Unreadable, portmap::MapFault::LineIgnored}) {
    reasons.insert(std::string("reason ") + cli::MapFaultKey(fault));
  }
  return reasons;
}

class JsonSchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    good.AddRegister(3).SetPrefix("25");
    good.AddRegister(7);
    faulty.AddRegister(4).SetFault(emu::Fault::WrongEcho);
    faulty.AddRegister(9).SetFault(emu::Fault::BadReplyCheck);
    faulty.AddRegister(12, 0x01, 0x06);
    faulty.AddRegister(20).SetFault(emu::Fault::IgnoreWrites);
    for (uint8_t net : {1, 2, 3}) lost.AddRegister(net);
    ASSERT_TRUE(goodHost.Start());
    ASSERT_TRUE(faultyHost.Start());
    ASSERT_TRUE(lostHost.Start());
    fs::create_directories(config / "zenor9");
    std::ofstream(config / "zenor9" / "ports") << "COM7 /dev/ttyUSB3\n";
  }

  // Runs `command` with `args` and --json, and takes in what it printed.
  json Run(const std::string& command, std::vector<std::string> args,
           testing::Environment extra = {}) {
    args.insert(args.begin(), {"--json", command});
    extra.emplace("ZENOR9_JOURNAL", journal.string());
    extra.emplace("XDG_CONFIG_HOME", config.string());
    const ChildResult result = testing::RunZenor9(args, extra);
    return Take(command, result);
  }
  json Take(const std::string& command, const ChildResult& result) {
    const json printed = json::parse(result.out, nullptr, false);
    EXPECT_FALSE(printed.is_discarded()) << result.out << result.err;
    if (command == "journal") {
      for (const json& record : printed) AddPaths(command, record, "", printed_);
    } else {
      EXPECT_EQ(printed.value("schema", 0), cli::kJsonSchema) << result.out;
      AddPaths(command, printed, "", printed_);
    }
    return printed;
  }
  const Keys& Printed() const { return printed_; }

  emu::Line good;
  emu::Line faulty;
  emu::Line lost;
  emu::PtyHost goodHost{good};
  emu::PtyHost faultyHost{faulty};
  emu::PtyHost lostHost{lost};
  const testing::ScratchFolder folder;
  const fs::path journal = folder.path / "journal.jsonl";
  const fs::path config = folder.path / "config";

 private:
  Keys printed_;
};

TEST_F(JsonSchemaTest, ThePrintedKeysAreTheDocumentedOnesAndTheReleasedOnesStay) {
  const std::string goodPort = goodHost.DevicePath();
  const std::string faultyPort = faultyHost.DevicePath();
  for (const std::string& port : {goodPort, std::string("/nonexistent/ttyUSB9")}) {
    Run("identify", {"--port", port, "--net", "3"});
    Run("detect", {"--port", port});
    Run("read", {"--port", port, "--net", "3"});
    Run("write", {"24", "--port", port, "--net", "3"});
  }
  Run("identify", {"--port", goodPort, "--net", "44", "--retries", "0"});
  Run("scan", {"--port", "/nonexistent/ttyUSB9"});
  Run("identify", {"--port", faultyPort, "--all"});
  Run("identify", {"--port", faultyPort, "--net", "9,12"});
  Run("scan", {"--port", faultyPort});
  Run("read", {"--port", goodPort});  // several registers
  Run("read", {"--port", faultyPort, "--all", "--retries", "0"});
  Run("write", {"25", "--port", goodPort});
  Run("write", {"25", "--port", goodPort, "--net", "3,7", "--if-different", "--label", "shop",
                "--note", "INC-1"});
  Run("write", {"25", "--port", goodPort, "--net", "3", "--check", "--note", "INC-1"});
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
  fs::create_directories(config / "zenor9" / "ports");  // a folder: the map cannot be read
  Run("ports", {});
  Run("ports", {"--map", "COM2=/nonexistent/ttyUSB2"});
  Run("read", {"--port", "COM2", "--net", "3"});
  {
    // A register that answers its identify and nothing after it.
    emu::Line mute;
    emu::Register& five = mute.AddRegister(5);
    int addressed = 0;
    mute.SetObserver([&](const emu::WireByte& byte) {
      if (byte.toRegister && byte.parity == ParityMode::Mark) {
        five.SetFault(emu::Fault::Silent, ++addressed > 1);
      }
    });
    emu::PtyHost muteHost{mute};
    ASSERT_TRUE(muteHost.Start());
    Run("read", {"--port", muteHost.DevicePath(), "--net", "5", "--retries", "0"});
  }
  {
    // The port goes away under a write.
    const testing::AtFirstAddressByte atNet2(lost, 2, [this] { lostHost.Vanish(); });
    Run("write", {"25", "--port", lostHost.DevicePath(), "--net", "1,2,3"});
  }
  {
    const testing::Ser2net server(goodPort);
    ASSERT_EQ(server.Problem(), "");
    Run("scan", {"--port", server.Address()});
  }
  {
    // A stop in the middle of a scan.
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
  Keys printedPaths;  // what some command printed
  for (const std::string& key : Printed()) {
    const std::string path = key.substr(key.find(' ') + 1);
    printedPaths.insert(path);
    EXPECT_TRUE(documented.count(key) || documented.count("* " + path))
        << key << ": printed, not in docs/json.md";
  }
  for (const std::string& key : documented) {
    const std::string path = key.substr(key.find(' ') + 1);
    // Many reasons cannot be had here: the program's own are held to the docs below.
    if (key.rfind("reason ", 0) == 0) continue;
    // Windows has a port listing of its own, and a computer without serial ports none.
    if (path.rfind("ports[].", 0) == 0 && !Printed().count("ports ports[].device")) continue;
    if (path == "ports[].name" || path == "ports[].kernel-device" ||
        path == "ports[].friendly-name") {
      continue;
    }
    const bool printed = key[0] == '*' ? printedPaths.count(path) > 0 : Printed().count(key) > 0;
    EXPECT_TRUE(printed) << key << ": in docs/json.md, printed by no run";
  }
  Keys documentedReasons;
  for (const std::string& key : documented) {
    if (key.rfind("reason ", 0) == 0) documentedReasons.insert(key);
  }
  EXPECT_EQ(documentedReasons, ReasonsOfTheProgram());

  // The released list of this schema number: unchanged, and all still there.
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
    if (key.empty() || key[0] == '#') continue;
    EXPECT_TRUE(documented.count(key))
        << key << ": of schema " << schema << ", gone without a new schema number";
  }
}

}  // namespace
}  // namespace zenor9
