#include "wine.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <system_error>
#include <thread>

extern char** environ;

namespace zenor9::testing {

namespace fs = std::filesystem;

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : value;
}

// A character device other than a pseudo-terminal's slave: a real port.
bool IsRealDevice(const fs::path& path) {
  std::error_code error;
  const fs::path resolved = fs::canonical(path, error);
  if (error) return false;  // leads nowhere
  struct stat status {};
  if (::stat(resolved.c_str(), &status) != 0 || !S_ISCHR(status.st_mode)) return false;
  return resolved.string().rfind("/dev/pts/", 0) != 0;
}

// The values of [Software\\Wine\\Ports] in the prefix's system.reg.
std::vector<std::pair<std::string, std::string>> RegisteredPorts(const fs::path& prefix) {
  std::ifstream registry(prefix / "system.reg");
  static const std::regex value("\"(COM[0-9]+)\"=\"(.*)\"");
  std::vector<std::pair<std::string, std::string>> ports;
  bool inPorts = false;
  for (std::string line; std::getline(registry, line);) {
    if (!line.empty() && line.front() == '[') {
      inPorts = line.rfind("[Software\\\\Wine\\\\Ports]", 0) == 0;
      continue;
    }
    std::smatch match;
    if (inPorts && std::regex_match(line, match, value)) ports.push_back({match[1], match[2]});
  }
  return ports;
}

// This process's environment for Wine: headless, quiet, the test prefix, no
// ZENOR9_COMn of the caller's (Windows programs see the Unix environment), and
// `locale` alone, from which Wine takes the user's UI language.
std::vector<std::string> WineEnvironment(const std::string& prefix, const std::string& locale) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    if (name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name == "WINEDEBUG" ||
        name == "WINEPREFIX" || name.rfind("ZENOR9_COM", 0) == 0 || name == "LANG" ||
        name == "LANGUAGE" || name.rfind("LC_", 0) == 0) {
      continue;
    }
    environment.push_back(text);
  }
  environment.push_back("WINEDEBUG=-all");
  environment.push_back("WINEPREFIX=" + prefix);
  environment.push_back("LANG=" + locale);
  return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

// Starts a program with its standard streams on the given paths. Wine's output
// goes to files or a terminal rather than pipes: Wine's background services may
// inherit pipes and hold them open after the program has ended.
pid_t Start(std::vector<std::string> argv, std::vector<std::string> environment,
            const std::array<std::string, 3>& streams) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, streams[0].c_str(), O_RDWR | O_NOCTTY, 0);
  for (int fd : {1, 2}) {
    posix_spawn_file_actions_addopen(&actions, fd, streams[fd].c_str(),
                                     O_RDWR | O_NOCTTY | O_CREAT | O_TRUNC, 0600);
  }
  std::vector<char*> argvPointers = Pointers(argv);
  std::vector<char*> environmentPointers = Pointers(environment);
  pid_t pid = -1;
  const int failed = ::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, argvPointers.data(),
                                   environmentPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

// Waits for the program to end (killed after `limit`), running `meanwhile`
// between looks; returns its exit code (-1 when it did not exit) and its
// processor time.
int WaitForExit(pid_t pid, double& cpuMs, const std::function<void()>& meanwhile,
                std::chrono::milliseconds limit = std::chrono::seconds(60)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::wait4(pid, &status, 0, &usage);
      break;
    }
    meanwhile();
  }
  cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
          (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A program started with its output in `output`.out and .err, to its end: its
// exit code and output (line ends made "\n"), the files removed.
ChildResult Finished(pid_t pid, const std::string& output, double& cpuMs) {
  ChildResult result;
  result.exitCode =
      WaitForExit(pid, cpuMs, [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
  result.out = WithoutCarriageReturns(Contents(output + ".out"));
  result.err = WithoutCarriageReturns(Contents(output + ".err"));
  std::error_code error;
  fs::remove(output + ".out", error);
  fs::remove(output + ".err", error);
  return result;
}

// Appends what the terminal has sent within `waitMs`; false when nothing came.
bool DrainTerminal(int terminal, std::string& shown, int waitMs) {
  pollfd fd{terminal, POLLIN, 0};
  if (::poll(&fd, 1, waitMs) <= 0 || (fd.revents & POLLIN) == 0) return false;
  char buffer[4096];
  const ssize_t n = ::read(terminal, buffer, sizeof buffer);
  if (n > 0) shown.append(buffer, static_cast<std::size_t>(n));
  return n > 0;
}

}  // namespace

Wine::Wine()
    : exe_(Variable("ZENOR9_WINDOWS_EXE")),
      prefix_(Variable("WINEPREFIX")),
      ports_(Variable("ZENOR9_WINE_PORTS")) {}

std::string Wine::Missing() const {
  if (exe_.empty() || prefix_.empty() || ports_.empty()) {
    return "ZENOR9_WINDOWS_EXE, WINEPREFIX and ZENOR9_WINE_PORTS are not all set: run these "
           "tests with make test-windows";
  }
  if (!fs::exists(exe_)) return exe_ + " is missing: run make windows";
  if (!fs::exists(fs::path(prefix_) / "system.reg")) return "no Wine prefix at " + prefix_;
  return {};
}

std::string Wine::UnsafePorts() const {
  const auto registered = RegisteredPorts(prefix_);
  for (int n : kMappedComPorts) {
    const std::string name = "COM" + std::to_string(n);
    const fs::path link = fs::path(ports_) / ("com" + std::to_string(n));
    const auto value = std::find_if(registered.begin(), registered.end(),
                                    [&](const auto& port) { return port.first == name; });
    if (value == registered.end() || fs::path(value->second) != link) {
      return name + " is not mapped to " + link.string() + " in " + prefix_ + "/system.reg";
    }
    std::error_code error;
    const fs::path dosDevice =
        fs::read_symlink(fs::path(prefix_) / "dosdevices" / ("com" + std::to_string(n)), error);
    if (!error && dosDevice != link) {
      return name + " of the prefix leads to " + dosDevice.string() + ", not " + link.string();
    }
    if (IsRealDevice(link))
      return name + " resolves to the real device " + fs::canonical(link).string();
  }
  return {};
}

bool Wine::Point(int comNumber, const std::string& target) const {
  if (IsRealDevice(target)) return false;
  const fs::path link = fs::path(ports_) / ("com" + std::to_string(comNumber));
  const fs::path temporary = link.string() + ".new";
  std::error_code error;
  fs::remove(temporary, error);
  fs::create_symlink(target, temporary, error);
  if (!error) fs::rename(temporary, link, error);
  return !error;
}

ChildResult Wine::Run(const std::vector<std::string>& args) const {
  return RunMeasured(args).result;
}

MeasuredRun Wine::RunMeasured(const std::vector<std::string>& args) const {
  MeasuredRun run;
  if (const std::string unsafe = UnsafePorts(); !unsafe.empty()) {
    run.result.err = "refused to run zenor9.exe: " + unsafe;
    return run;
  }
  const std::string output =
      (fs::temp_directory_path() / ("zenor9-wine-" + std::to_string(::getpid()))).string();
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = Start(Argv(args), WineEnvironment(prefix_, locale_),
                          {"/dev/null", output + ".out", output + ".err"});
  if (pid < 0) return run;
  run.result = Finished(pid, output, run.cpuMs);
  const std::chrono::duration<double, std::milli> wall = std::chrono::steady_clock::now() - start;
  run.wallMs = wall.count();
  return run;
}

std::string Wine::RunOnTerminal(const std::vector<std::string>& args) const {
  if (!UnsafePorts().empty()) return {};
  const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal < 0 || ::grantpt(terminal) != 0 || ::unlockpt(terminal) != 0) return {};
  const std::string device = ::ptsname(terminal);
  std::string shown;
  const pid_t pid = Start(Argv(args), WineEnvironment(prefix_, locale_), {device, device, device});
  if (pid >= 0) {
    double cpuMs = 0;
    WaitForExit(pid, cpuMs, [&] { DrainTerminal(terminal, shown, 20); });
    while (DrainTerminal(terminal, shown, 20)) {
    }
  }
  ::close(terminal);
  return shown;
}

pid_t Wine::StartOnDisplay(const std::string& exe, const std::vector<std::string>& args,
                           const std::string& display, const std::string& output) const {
  if (!UnsafePorts().empty()) return -1;
  // The windows want a real Russian locale whatever the runs' own: Cyrillic in
  // Wine's bitmap fonts and in the titles X sees.
  std::vector<std::string> environment = WineEnvironment(prefix_, "ru_RU.UTF-8");
  environment.push_back("DISPLAY=" + display);
  environment.push_back("LC_ALL=ru_RU.UTF-8");
  std::vector<std::string> argv{"/usr/bin/wine", exe};
  argv.insert(argv.end(), args.begin(), args.end());
  return Start(argv, environment, {"/dev/null", output + ".out", output + ".err"});
}

ChildResult Wine::RunOnDisplay(const std::string& exe, const std::vector<std::string>& args,
                               const std::string& display) const {
  const std::string output =
      (fs::temp_directory_path() / ("zenor9-wine-gui-" + std::to_string(::getpid()))).string();
  const pid_t pid = StartOnDisplay(exe, args, display, output);
  double cpuMs = 0;
  return pid < 0 ? ChildResult{} : Finished(pid, output, cpuMs);
}

int Wine::WaitForEnd(pid_t pid, int timeoutMs) {
  double cpuMs = 0;
  return WaitForExit(
      pid, cpuMs, [] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); },
      std::chrono::milliseconds(timeoutMs));
}

std::vector<std::string> Wine::Argv(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{"/usr/bin/wine", exe_};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

std::string WithoutCarriageReturns(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

}  // namespace zenor9::testing
