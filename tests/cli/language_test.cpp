// The command line in the user's language: Russian under no locale, C, POSIX and
// a Russian locale, English under an English one, with nothing of the other
// language left in; usage errors that name the mistake and the way on; the next
// step after a failure of the link.
#include <gtest/gtest.h>

#include <netdb.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/cli11_texts.h"
#include "cli/next_step.h"
#include "cli/port_failure_words.h"
#include "emulator/pty_host.h"
#include "i18n/system_error.h"
#include "i18n/text.h"
#include "remote_line_support.h"
#include "subprocess.h"

namespace zenor9 {
namespace {

using testing::ChildResult;
using testing::Environment;
using testing::RunZenor9;

const Environment kEnglish = {{"LANG", "en_US.UTF-8"}};

// Locale settings that ask for Russian (the choice among all the variables is
// the catalogue's own test).
const std::vector<Environment> kRussianLocales = {{{"LANG", "C"}}, {{"LANG", "ru_RU.UTF-8"}}};

// The words of a Russian text that are not Russian: every run of three Latin
// letters or more, but the names the user types (commands, options, COMn,
// variables, paths, the virtual register's faults, the journal's names), the
// names of things (signals, streams, chips, services, flags and calls of the
// system, a remote line's protocol and parities) and the JSON keys, which stay
// English.
std::set<std::string> ForeignWords(const std::string& text) {
  static const std::set<std::string> kNames = [] {
    std::istringstream words(
        "zenor9 identify detect scan read write doctor ports sim help version port net all "
        "json trace verify map unmap prefix fault latency link off COM COMn COM1 COM4 COM255 "
        "ZENOR9_COMn ZENOR9_COM1 dev ttyS ttyUSB0 stdout stderr JSON SIGINT SIGQUIT Break "
        "SIGTERM SIGHUP Ctrl FTDI USB MARK SPACE HHHH MIT holds retries seed rfc2217 silent "
        "echo wrong ack bad reply check short late noise byte two devices ignore writes "
        "random faults journal jsonl since local state Windows UTC XDG_STATE_HOME "
        "LOCALAPPDATA ZENOR9_JOURNAL UART UTF flock TIOCEXCL brltty gpsd ModemManager "
        "low_latency dmesg pid RFC telnet NONE ODD EVEN different label note changed only");
    return std::set<std::string>(std::istream_iterator<std::string>(words), {});
  }();
  static const std::regex protocolPhrase("COM-PORT-OPTION|SET-PARITY");
  static const std::regex comName("(ZENOR9_)?COM[0-9]+");
  static const std::regex word("[A-Za-z_0-9]*[A-Za-z]{3,}[A-Za-z_0-9]*");
  const std::string words = std::regex_replace(text, protocolPhrase, " ");
  std::set<std::string> foreign;
  for (std::sregex_iterator match(words.begin(), words.end(), word), end; match != end; ++match) {
    const std::string found = match->str();
    if (kNames.count(found) == 0 && !std::regex_match(found, comName)) {
      foreign.insert(found);
    }
  }
  return foreign;
}

bool HasCyrillicBeyondTheName(std::string text) {
  for (const std::string name : {"ЗЕНОР", "ККМ"}) {
    for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name)) {
      text.erase(at, name.size());
    }
  }
  // Cyrillic letters are D0 xx and D1 xx in UTF-8.
  return text.find('\xD0') != std::string::npos || text.find('\xD1') != std::string::npos;
}

const std::vector<std::vector<std::string>> kHelps = {
    {"--help"},           {"identify", "--help"}, {"scan", "--help"}, {"write", "--help"},
    {"doctor", "--help"}, {"ports", "--help"},    {"sim", "--help"},  {"journal", "--help"}};

TEST(LanguageTest, HelpIsRussianAloneUnlessTheLocaleAsksForEnglish) {
  for (const std::vector<std::string>& args : kHelps) {
    const std::string name = ::testing::PrintToString(args);
    for (const Environment& locale : kRussianLocales) {
      const ChildResult help = RunZenor9(args, locale);
      EXPECT_EQ(help.exitCode, 0) << name;
      EXPECT_EQ(ForeignWords(help.out), std::set<std::string>())
          << name << " " << ::testing::PrintToString(locale) << "\n"
          << help.out;
      EXPECT_NE(help.out.find("Коды выхода:"), std::string::npos) << name << help.out;
    }
    {
      const ChildResult help = RunZenor9(args, kEnglish);
      EXPECT_EQ(help.exitCode, 0) << name;
      EXPECT_FALSE(HasCyrillicBeyondTheName(help.out)) << name << "\n" << help.out;
      EXPECT_NE(help.out.find("Exit codes:"), std::string::npos) << name << help.out;
    }
  }
  // The columns line up in characters: every option's text starts in the same
  // column whatever the width of its name in bytes.
  const ChildResult write = RunZenor9({"write", "--help"});
  const std::string aligned =
      "  --port COMn|ПУТЬ            COM1 – COM255, путь к устройству или rfc2217://ХОСТ:ПОРТ "
      "для линии за сервером последовательных портов; по умолчанию COM1";
  EXPECT_NE(write.out.find(aligned), std::string::npos) << write.out;
}

// Each mistake named in both languages, with where to read more, and not a
// byte sent.
TEST(LanguageTest, UsageErrorsNameTheMistakeAndTheHelpToRead) {
  emu::Line line;
  line.AddRegister(7);
  emu::PtyHost host(line);
  ASSERT_TRUE(host.Start());
  struct Case {
    std::vector<std::string> args;
    std::string russian;
    std::string english;
    std::string help;  // the help the message points to
  };
  const std::vector<Case> cases = {
      {{"doctr"},
       "неизвестная команда doctr: может быть, doctor? Команды: identify, detect, scan, read, "
       "write, doctor, ports, journal и sim",
       "unknown command doctr: did you mean doctor? The commands are identify, detect, scan, "
       "read, write, doctor, ports, journal and sim",
       "zenor9 --help"},
      {{"READ"}, "может быть, read?", "did you mean read?", "zenor9 --help"},
      {{"frobnicate"},
       "неизвестная команда frobnicate; команды: identify,",
       "unknown command frobnicate; the commands are identify,",
       "zenor9 --help"},
      {{},
       "не указана команда; команды: identify,",
       "no command given; the commands are",
       "zenor9 --help"},
      {{"--net", "7,3,7", "read"},
       "--net: сетевой номер 7 указан дважды",
       "--net: net number 7 is given twice",
       "zenor9 read --help"},
      {{"--net", "3", "read", "--net", "2,3"},
       "сетевой номер 3 указан дважды",
       "net number 3 is given twice",
       "zenor9 read --help"},
      {{"--net", "7", "write"}, "не указано: ЗНАЧЕНИЕ", "VALUE is missing", "zenor9 write --help"},
      {{"read", "--port"},
       "--port: нужно значение (COMn|ПУТЬ)",
       "--port needs a value (COMn|PATH)",
       "zenor9 read --help"},
      {{"--net", "7", "read", "extra"}, "лишнее: extra", "unexpected: extra", "zenor9 read --help"},
      {{"ports", "--map", "COM1=/x", "--unmap", "COM2"},
       "--map нельзя вместе с --unmap",
       "--map cannot go with --unmap",
       "zenor9 ports --help"},
      {{"--net", "7", "write", "25", "--verfy"},
       "неизвестный параметр --verfy: может быть, --verify?",
       "unknown option --verfy: did you mean --verify?",
       "zenor9 write --help"},
      {{"--no-journal", "read"},
       "неизвестный параметр --no-journal: это параметр команды write",
       "unknown option --no-journal: it is an option of write",
       "zenor9 read --help"},
      {{"--net", "7", "--no-verfy", "write", "25"},
       "неизвестный параметр --no-verfy: может быть, --no-verify?",
       "unknown option --no-verfy: did you mean --no-verify?",
       "zenor9 write --help"},
      {{"--prot", "COM3", "read"},
       "неизвестный параметр --prot: может быть, --port?",
       "unknown option --prot: did you mean --port?",
       "zenor9 read --help"},
      {{"--port", "1", "read"},
       "1 — не порт: может быть, COM1?",
       "1 is no port: did you mean COM1?",
       "zenor9 read --help"},
      {{"sim", "--latency", "2000"},
       "задержка — от 0 до 1000 мс, а не 2000",
       "the latency is 0 to 1000 ms, not 2000",
       "zenor9 sim --help"},
      {{"--net", "7", "scan"},
       "scan сама находит сетевые номера",
       "scan finds the net numbers itself",
       "zenor9 scan --help"},
  };
  const Environment russian = {{"ZENOR9_COM1", host.DevicePath()}};
  Environment english = kEnglish;
  english["ZENOR9_COM1"] = host.DevicePath();
  for (const Case& c : cases) {
    const std::string name = ::testing::PrintToString(c.args);
    const ChildResult inRussian = RunZenor9(c.args, russian);
    EXPECT_EQ(inRussian.exitCode, 2) << name;
    EXPECT_NE(inRussian.err.find(c.russian), std::string::npos) << name << "\n" << inRussian.err;
    EXPECT_NE(inRussian.err.find("\nПодробнее: " + c.help + "\n"), std::string::npos)
        << name << "\n"
        << inRussian.err;
    const ChildResult inEnglish = RunZenor9(c.args, english);
    EXPECT_EQ(inEnglish.exitCode, 2) << name;
    EXPECT_NE(inEnglish.err.find(c.english), std::string::npos) << name << "\n" << inEnglish.err;
    EXPECT_NE(inEnglish.err.find("\nMore: " + c.help + "\n"), std::string::npos) << name << "\n"
                                                                                 << inEnglish.err;
  }
  EXPECT_TRUE(line.Log().empty());
}

// After a failure of the link the last line names the next step, with the
// port as the user named it and the net number once one is known; JSON leaves
// it out, and other failures have none.
TEST(LanguageTest, ALinkFailureEndsWithTheNextStep) {
  emu::Line line;
  line.AddRegister(7, 0x01, 0x06);  // firmware 1.0.6
  emu::PtyHost host(line);
  ASSERT_TRUE(host.Start());
  emu::Line empty;
  emu::PtyHost emptyHost(empty);
  ASSERT_TRUE(emptyHost.Start());
  const std::string nowhere = "/nonexistent/zenor9-adapter";
  struct Case {
    std::vector<std::string> args;
    std::string lastLine;  // empty: no next step
  };
  const std::vector<Case> cases = {
      {{"--port", "com9", "read"}, "Дальше: zenor9 doctor --port COM9 скажет, что мешает связи"},
      {{"--port", "COM3", "scan"}, "Дальше: zenor9 doctor --port COM3 скажет, что мешает связи"},
      {{"--port", "COM3", "--net", "12", "read"},
       "Дальше: zenor9 doctor --port COM3 --net 12 скажет, что мешает связи"},
      {{"--port", "COM2", "--net", "7", "read"}, ""},  // firmware, not the link
  };
  const Environment environment = {{"ZENOR9_COM9", nowhere},
                                   {"ZENOR9_COM2", host.DevicePath()},
                                   {"ZENOR9_COM3", emptyHost.DevicePath()}};
  for (const Case& c : cases) {
    const std::string name = ::testing::PrintToString(c.args);
    const ChildResult text = RunZenor9(c.args, environment);
    EXPECT_NE(text.exitCode, 0) << name;
    const std::string last = text.err.substr(text.err.rfind('\n', text.err.size() - 2) + 1);
    if (c.lastLine.empty()) {
      EXPECT_EQ(text.err.find("Дальше"), std::string::npos) << name << "\n" << text.err;
    } else {
      EXPECT_EQ(last, c.lastLine + "\n") << name << "\n" << text.err;
    }
    std::vector<std::string> withJson = c.args;
    withJson.push_back("--json");
    const ChildResult json = RunZenor9(withJson, environment);
    EXPECT_EQ(json.err, "") << name;
    EXPECT_EQ(json.out.find("doctor"), std::string::npos) << name << json.out;
  }
  // A COM map that cannot be read (a folder here) leaves the port without a
  // device: said in the user's language, with the map as the next step.
  const testing::ScratchFolder config;
  std::filesystem::create_directories(config.path / "zenor9" / "ports");
  Environment english = kEnglish;
  english["XDG_CONFIG_HOME"] = config.path.string();
  const ChildResult unmapped = RunZenor9({"--port", "COM5", "read"}, english);
  EXPECT_EQ(unmapped.exitCode, 3);
  EXPECT_EQ(unmapped.err.rfind("The chosen COM port is unavailable\n", 0), 0u) << unmapped.err;
  EXPECT_NE(unmapped.err.find("Next: zenor9 ports shows the COM map"), std::string::npos)
      << unmapped.err;

  // The doctor's own advice names the user's port too.
  const ChildResult doctor = RunZenor9({"doctor", "--port", "COM9", "--json"}, environment);
  EXPECT_EQ(doctor.exitCode, 1);
  const nlohmann::json checks = nlohmann::json::parse(doctor.out)["checks"];
  EXPECT_NE(checks[0]["advice"].get<std::string>().find("zenor9 ports --map COM9=ПУТЬ"),
            std::string::npos)
      << doctor.out;
}

// `text` without the paths in it: the words with a slash.
std::string WithoutPaths(const std::string& text) {
  return std::regex_replace(text, std::regex("[^ \n]*/[^ \n]*"), "");
}

// Every failure the program reports to a person, run as a user meets it under
// a Russian locale: the port open failures of each kind (a remote line's
// among them), the faults of the COM map, its rewrites and doctor. No Latin
// word is left but names, paths and commands: no text of the system (strerror)
// and no English detail.
TEST(LanguageTest, EveryFailureIsWordedInRussian) {
  namespace fs = std::filesystem;
  emu::Line line;
  line.AddRegister(7);
  emu::PtyHost host(line);
  ASSERT_TRUE(host.Start());
  const testing::ScratchFolder scratch;
  const fs::path& dir = scratch.path;
  fs::create_directories(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);

  // A settings folder whose map file `make` makes.
  int configs = 0;
  const auto withMap = [&](const std::function<void(const fs::path& file)>& make) {
    const fs::path config = dir / ("config" + std::to_string(++configs));
    fs::create_directories(config / "zenor9");
    make(config / "zenor9" / "ports");
    return Environment{{"XDG_CONFIG_HOME", config.string()}};
  };
  const auto text = [](const std::string& content) {
    return [content](const fs::path& file) { std::ofstream(file, std::ios::binary) << content; };
  };
  const Environment noMap = withMap([](const fs::path&) {});
  // A remote line where nothing listens.
  const std::string refused = "rfc2217://127.0.0.1:" + std::to_string(testing::FreeLoopbackPort());
  struct Case {
    std::vector<std::string> args;
    Environment environment;
    std::string said;  // a part of what is said, when it matters
  };
  const std::vector<Case> cases = {
      {{"--port", (dir / "missing").string(), "read"}, {}, "нет устройства"},
      {{"--port", (dir / "folder").string(), "read"}, {}, "это папка"},
      {{"--port", (dir / "fifo").string(), "read"}, {}, "это именованный канал"},
      {{"--port", "/dev/null", "read"}, {}, "это устройство, но не терминал"},
      {{"--port", "COM5", "read"},
       withMap(text("COM5=/dev/a\n#" + std::string(64 * 1024, ' '))),
       "не читается: размер больше 64 КиБ"},
      {{"--port", "COM5", "read"},
       withMap([](const fs::path& f) { ::mkfifo(f.c_str(), 0600); }),
       ""},
      {{"--port", "COM5", "read"}, withMap(text("COM5=/dev/caf\xE9\n")), "не текст UTF-8"},
      {{"ports", "--map", "COM1=/dev/x"},
       withMap([&](const fs::path& f) {
         fs::remove(f.parent_path());
         std::ofstream(f.parent_path()) << "a file where the folder should be";
       }),
       "часть пути — не папка"},
      {{"ports", "--map", "COM4=" + (dir / "folder").string()}, noMap, ""},
      {{"doctor", "--port", "/dev/null"}, {}, ""},
      {{"doctor", "--port", host.DevicePath(), "--net", "7"}, {}, ""},
      {{"--port", refused, "read"},
       {},
       "Удалённая линия недоступна\n" + refused + ": сервер отказал в соединении\n"},
      {{"doctor", "--port", refused}, {}, refused.substr(10) + ": сервер отказал в соединении"},
  };
  for (const Case& c : cases) {
    const std::string name = ::testing::PrintToString(c.args);
    Environment environment = c.environment;
    environment["LANG"] = "ru_RU.UTF-8";
    const ChildResult run = RunZenor9(c.args, environment);
    const std::string said = run.out + run.err;
    EXPECT_EQ(ForeignWords(WithoutPaths(said)), std::set<std::string>()) << name << said;
    EXPECT_NE(said.find(c.said), std::string::npos) << name << said;
  }
}

// The texts no run above can reach here (as root every device opens; a remote
// line's servers; CLI11's rarer messages), walked directly: each open failure
// with each detail (a remote line's with its resolver's codes and parities)
// and every errno value, and CLI11's error of each kind.
TEST(LanguageTest, EveryOpenFailureSystemErrorAndMistakeIsWordedInRussian) {
  i18n::UseLanguage(i18n::Language::Russian);
  for (int failure = 0; failure <= static_cast<int>(PortFailure::NoStickParity); ++failure) {
    for (int detail = 0; detail <= static_cast<int>(PortDetail::ParityOtherwise); ++detail) {
      for (int code : {0, 2, 5, 9999, EAI_NONAME, EAI_AGAIN}) {
        OpenFailureDetail more = OpenFailureDetail::Of(static_cast<PortDetail>(detail));
        more.systemError = static_cast<unsigned long>(code);
        more.resolverError = code;
        more.parityAsked = static_cast<uint8_t>(4 + code % 2);
        more.parityAnswered = static_cast<uint8_t>(code % 7);
        const std::string text =
            cli::DescribeOpenFailure("/nonexistent/port", static_cast<PortFailure>(failure), more);
        EXPECT_EQ(ForeignWords(text), std::set<std::string>()) << failure << " " << detail << text;
      }
    }
  }
  for (int error = 0; error < 200; ++error) {
    EXPECT_EQ(ForeignWords(i18n::ErrnoText(error)), std::set<std::string>()) << error;
  }
  for (int code = -20; code < 0; ++code) {
    EXPECT_EQ(ForeignWords(i18n::ResolverErrorText(code)), std::set<std::string>()) << code;
  }
  EXPECT_EQ(i18n::ErrnoText(9999), "системная ошибка 9999");
  const std::vector<CLI::ParseError> mistakes = {
      CLI::ArgumentMismatch::AtLeast("--net", 1, 0),
      CLI::ArgumentMismatch("--net", -1, 0),
      CLI::ArgumentMismatch::FlagOverride("--json"),
      CLI::RequiredError::Option(1, 1, 0, "--map, --unmap"),
      CLI::RequiredError::Subcommand(2),
      CLI::InvalidError("--net"),
      CLI::FileError::Missing("ports"),
  };
  for (const CLI::ParseError& mistake : mistakes) {
    const std::string text = cli::UsageErrorText(mistake);
    EXPECT_EQ(ForeignWords(text), std::set<std::string>()) << mistake.what() << "\n" << text;
  }
  i18n::UseLanguage(i18n::Language::English);
}

// After a scan that a late echo ended (an adapter holding answers back; the
// link tells the stray byte's net number), the next step is the user's command
// again with that net number; detect, which takes none, becomes identify. A
// stopped run gets no next step.
TEST(NextStepTest, ALateEchoGivesTheCommandAgainWithItsNetNumber) {
  i18n::UseLanguage(i18n::Language::English);
  const auto nextStep = [](const std::string& command, const std::string& port, bool stopped) {
    cli::Invocation invocation;
    invocation.command = command;
    invocation.port.name = port;
    invocation.write.value = "21";
    cli::Outcome outcome;
    cli::Fail(outcome, cli::kExitFailed, "no-link", "No link with the register");
    outcome.lateEchoOf = 7;
    outcome.interrupted = stopped;
    cli::AddNextStep(invocation, outcome);
    return outcome.nextStep;
  };
  const std::string late = "Next: the scan was ended by the late echo of net number 7: ";
  EXPECT_EQ(nextStep("write", "COM4", false), late + "zenor9 write 21 --port COM4 --net 7");
  EXPECT_EQ(nextStep("read", "/dev/ttyUSB0", false),
            late + "zenor9 read --port /dev/ttyUSB0 --net 7");
  EXPECT_EQ(nextStep("detect", "COM1", false), late + "zenor9 identify --port COM1 --net 7");
  EXPECT_EQ(nextStep("read", "COM1", true), "");
}

}  // namespace
}  // namespace zenor9
