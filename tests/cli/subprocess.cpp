#include "subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <functional>
#include <stdexcept>

extern char** environ;

namespace zenor9::testing {

namespace {

constexpr int kChildTimeoutMs = 30'000;

std::vector<std::string> ChildEnvironment(const Environment& extra) {
  Environment merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::size_t equals = text.find('=');
    if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
  }
  // No locale unless a test gives one: the program speaks Russian, its own
  // language, whatever the machine running the tests is set to.
  for (const char* variable : {"LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES"}) {
    merged.erase(variable);
  }
  for (int n = 1; n <= 4; ++n) {
    merged["ZENOR9_COM" + std::to_string(n)] = "/nonexistent/zenor9-test-com" + std::to_string(n);
  }
  // No test reads or writes the user's own COM map, nor the user's journal of
  // writes: the tests' writes share one (rotated) journal of their own.
  merged["XDG_CONFIG_HOME"] = "/nonexistent/zenor9-test-config";
  merged.erase("ZENOR9_JOURNAL");
  merged["XDG_STATE_HOME"] =
      (std::filesystem::temp_directory_path() / "zenor9-test-state").string();
  for (const auto& [name, value] : extra) merged[name] = value;
  std::vector<std::string> flat;
  for (const auto& [name, value] : merged) flat.push_back(name + "=" + value);
  return flat;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Starts zenor9 with its stdin on /dev/null and `prepare` adding the other
// streams; throws when it cannot be started.
pid_t SpawnWith(const std::vector<std::string>& args, const Environment& extra,
                const std::function<void(posix_spawn_file_actions_t&)>& prepare,
                const std::vector<std::string>& launcher = {}) {
  std::vector<std::string> argv = launcher;
  argv.push_back(ZENOR9_CLI_BINARY);
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envp = ChildEnvironment(extra);
  std::vector<char*> argvPointers = Pointers(argv);
  std::vector<char*> envpPointers = Pointers(envp);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  prepare(actions);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, argvPointers.data(),
                                 envpPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error("cannot start " + argv[0]);
  return pid;
}

// Starts zenor9 with stdout and stderr on pipes, or stderr on `errDevice` when
// given; returns the read ends (`err` is then -1).
pid_t Spawn(const std::vector<std::string>& args, const Environment& extra, int& out, int& err,
            const char* errDevice = nullptr, const std::vector<std::string>& launcher = {}) {
  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe");
  }
  const pid_t pid = SpawnWith(
      args, extra,
      [&](posix_spawn_file_actions_t& actions) {
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        if (errDevice != nullptr) {
          posix_spawn_file_actions_addopen(&actions, 2, errDevice, O_RDWR | O_NOCTTY, 0);
        } else {
          posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        }
      },
      launcher);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  out = outPipe[0];
  err = errPipe[0];
  if (errDevice != nullptr) {
    ::close(err);
    err = -1;
  }
  return pid;
}

// Appends what `fd` has to `text`; false at end of file.
bool Drain(int fd, std::string& text) {
  char buffer[4096];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
  return n > 0 || (n < 0 && errno == EINTR);
}

// Reads both pipes to their end (or until the deadline) and closes them. False
// when the deadline came first.
bool Collect(int& out, int& err, std::string& outText, std::string& errText, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (out >= 0 || err >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    if (::poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
    if (fds[0].revents != 0 && !Drain(out, outText)) {
      ::close(out);
      out = -1;
    }
    if (fds[1].revents != 0 && !Drain(err, errText)) {
      ::close(err);
      err = -1;
    }
  }
  const bool ended = out < 0 && err < 0;
  for (int* fd : {&out, &err}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  return ended;
}

int ExitCodeOf(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

pid_t StartZenor9WithOutput(const std::vector<std::string>& args, const Environment& extra,
                            int output) {
  return SpawnWith(args, extra, [output](posix_spawn_file_actions_t& actions) {
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    posix_spawn_file_actions_adddup2(&actions, output, 2);
  });
}

int WaitForEnd(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

ChildResult RunZenor9(const std::vector<std::string>& args, const Environment& extra) {
  return RunZenor9Under({}, args, extra);
}

ChildResult RunZenor9Under(const std::vector<std::string>& launcher,
                           const std::vector<std::string>& args, const Environment& extra) {
  ChildResult result;
  int out = -1;
  int err = -1;
  const pid_t pid = Spawn(args, extra, out, err, nullptr, launcher);
  if (!Collect(out, err, result.out, result.err, kChildTimeoutMs)) ::kill(pid, SIGKILL);
  result.exitCode = ExitCodeOf(pid);
  return result;
}

ChildResult RunZenor9OnTerminal(const std::vector<std::string>& args, const Environment& extra) {
  const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal < 0 || ::grantpt(terminal) != 0 || ::unlockpt(terminal) != 0) {
    throw std::runtime_error("no pseudo-terminal");
  }
  const std::string device = ::ptsname(terminal);
  // Held open here too, so that the terminal keeps what the child wrote after it
  // ends, and reading it never fails early.
  const int held = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ChildResult result;
  int out = -1;
  int none = -1;
  const pid_t pid = Spawn(args, extra, out, none, device.c_str());
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kChildTimeoutMs);
  while (out >= 0 && std::chrono::steady_clock::now() < deadline) {
    pollfd fds[2] = {{out, POLLIN, 0}, {terminal, POLLIN, 0}};
    if (::poll(fds, 2, 100) <= 0) continue;
    if (fds[1].revents != 0) Drain(terminal, result.err);
    if (fds[0].revents != 0 && !Drain(out, result.out)) {
      ::close(out);
      out = -1;
    }
  }
  if (out >= 0) {
    ::kill(pid, SIGKILL);
    ::close(out);
  }
  result.exitCode = ExitCodeOf(pid);
  ::fcntl(terminal, F_SETFL, O_NONBLOCK);
  while (Drain(terminal, result.err)) {
  }
  ::close(held);
  ::close(terminal);
  return result;
}

BackgroundZenor9::BackgroundZenor9(const std::vector<std::string>& args, const Environment& extra) {
  pid_ = Spawn(args, extra, out_, err_);
}

BackgroundZenor9::~BackgroundZenor9() {
  if (pid_ > 0) Stop(SIGKILL);
}

std::string BackgroundZenor9::ReadLine(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const std::size_t newline = pending_.find('\n');
    if (newline != std::string::npos) {
      std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || out_ < 0) return {};
    pollfd fd{out_, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left.count())) > 0 && !Drain(out_, pending_)) return {};
  }
}

ChildResult BackgroundZenor9::Stop(int signal) {
  ChildResult result;
  if (signal != 0) ::kill(pid_, signal);
  result.exitCode = ExitCodeOf(pid_);
  pid_ = -1;
  result.out = pending_;
  Collect(out_, err_, result.out, result.err, 1000);
  return result;
}

ScratchFolder::ScratchFolder()
    : path(std::filesystem::temp_directory_path() /
           ("zenor9-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
            std::to_string(::getpid()))) {
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  std::filesystem::remove_all(path, error);
}

nlohmann::json JsonOf(const std::string& out) {
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  nlohmann::json object = nlohmann::json::parse(out, nullptr, false);
  EXPECT_TRUE(object.is_object()) << out;
  return object.is_object() ? object : nlohmann::json::object();
}

std::vector<nlohmann::json> JournalLines(const std::filesystem::path& file) {
  std::vector<nlohmann::json> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

}  // namespace zenor9::testing
