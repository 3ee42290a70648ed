// Runs the zenor9 program as a child process with its output captured. The
// child's COM1 to COM4 always point somewhere safe (a missing path unless a test
// maps them), never at the machine's real serial ports, and it has no locale
// (it speaks Russian) unless a test gives it one.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zenor9::testing {

using Environment = std::map<std::string, std::string>;

struct ChildResult {
  int exitCode = -1;  // -1 when the child did not exit normally
  std::string out;
  std::string err;
};

// Runs zenor9 with `args` to the end (killed after 30 s) and collects its output.
ChildResult RunZenor9(const std::vector<std::string>& args, const Environment& extra = {});

// The same started by `launcher` (a program and its arguments, such as
// unshare -rn), which is given zenor9's path and `args`.
ChildResult RunZenor9Under(const std::vector<std::string>& launcher,
                           const std::vector<std::string>& args, const Environment& extra = {});

// The same with stderr on a fresh pseudo-terminal, as on a user's terminal:
// `err` is what the terminal was sent.
ChildResult RunZenor9OnTerminal(const std::vector<std::string>& args,
                                const Environment& extra = {});

// Starts zenor9 with stdout and stderr both on `output`, a descriptor the
// caller keeps, so that the caller can close the other end while it runs.
pid_t StartZenor9WithOutput(const std::vector<std::string>& args, const Environment& extra,
                            int output);
// Waits for the child's end: its exit code, or minus the signal that killed it.
int WaitForEnd(pid_t pid);

// A zenor9 that keeps running (the virtual register): its stdout is read line by
// line, its stderr collected when it ends.
class BackgroundZenor9 {
 public:
  BackgroundZenor9(const std::vector<std::string>& args, const Environment& extra = {});
  ~BackgroundZenor9();
  BackgroundZenor9(const BackgroundZenor9&) = delete;
  BackgroundZenor9& operator=(const BackgroundZenor9&) = delete;

  // The next line on stdout, without its newline; empty after `timeoutMs`.
  std::string ReadLine(int timeoutMs);
  // Sends `signal` (none when 0) and waits for the end; returns what the child
  // printed.
  ChildResult Stop(int signal);
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string pending_;
};

// A fresh folder of the running test's own in the temporary folder, removed
// with the object.
struct ScratchFolder {
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::filesystem::path path;
};

// The one JSON object `out` holds, on one line; an empty object, and a failed
// test, otherwise.
nlohmann::json JsonOf(const std::string& out);
// The lines of a journal of writes, each parsed.
std::vector<nlohmann::json> JournalLines(const std::filesystem::path& file);

}  // namespace zenor9::testing
