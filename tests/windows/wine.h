// zenor9.exe run under Wine in the private prefix that `make test-windows`
// prepares, with the prefix's COM ports pointed at the tests' pseudo-terminals.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "../cli/subprocess.h"  // ChildResult

namespace zenor9::testing {

// The COM ports that the prefix maps to links in the ports folder.
inline const std::vector<int> kMappedComPorts = {1, 2, 3, 4, 12};

// A run with its costs: wall time, and the processor time of the process.
struct MeasuredRun {
  ChildResult result;
  double wallMs = 0;
  double cpuMs = 0;
};

// zenor9.exe on a terminal that answers a prompt.
struct PromptedRun {
  std::string shown;          // what the console sent the terminal
  bool heldAtPrompt = false;  // still running a while after the prompt showed
  int exitCode = -1;
};

// Registry values under a key and its subkeys: each key's full name, then each
// value's name and data as `reg query` prints them.
using RegistryTree = std::map<std::string, std::map<std::string, std::string>>;

class Wine {
 public:
  // From ZENOR9_WINDOWS_EXE, WINEPREFIX and ZENOR9_WINE_PORTS.
  Wine();

  // What is missing to run zenor9.exe under Wine; empty when all is there.
  std::string Missing() const;
  // Why a mapped COM port could reach a real serial device; empty when none can.
  std::string UnsafePorts() const;

  // Points COMn at `target`: a pseudo-terminal, a file, or a path that does not
  // exist. Refuses (returns false) a target that is a real device.
  bool Point(int comNumber, const std::string& target) const;
  // Runs zenor9.exe with `args`, its line ends made "\n". A run is refused (exit
  // code -1 and the reason on err) while any mapped COM port is unsafe.
  ChildResult Run(const std::vector<std::string>& args) const;
  MeasuredRun RunMeasured(const std::vector<std::string>& args) const;
  // Runs zenor9.exe on a terminal, which Wine makes its console; returns what
  // the console sent the terminal (escape sequences included).
  std::string RunOnTerminal(const std::vector<std::string>& args) const;
  // Runs zenor9.exe with `args` on a terminal; once the terminal has shown
  // `prompt`, notes whether the program still runs `holdMs` later, then types
  // Enter.
  PromptedRun RunAnsweringPrompt(const std::vector<std::string>& args, const std::string& prompt,
                                 int holdMs) const;

  // A Windows command line under Wine, refused as Run is: a program Windows
  // finds ("msiexec", "cmd") or a program's Windows path, and its arguments.
  ChildResult RunWindows(const std::vector<std::string>& command) const;
  // RunOnTerminal for a Windows command line.
  std::string RunWindowsOnTerminal(const std::vector<std::string>& command) const;
  // The values under `key` (HKLM\Software\...) and its subkeys, from reg query.
  RegistryTree QueryRegistry(const std::string& key) const;
  // Where a path on the prefix's C: drive (C:\Program Files\...) is on Linux.
  std::string UnixPath(const std::string& windowsPath) const;
  // This process's environment as the Wine runs get it (no display).
  std::vector<std::string> RunEnvironment() const;

  const std::string& Prefix() const { return prefix_; }

 private:
  std::vector<std::string> Argv(const std::vector<std::string>& args) const;
  MeasuredRun RunArgv(const std::vector<std::string>& argv) const;
  PromptedRun OnTerminal(const std::vector<std::string>& argv, const std::string& prompt,
                         int holdMs) const;

  std::string exe_;
  std::string prefix_;
  std::string ports_;
};

// Runs a Linux program (found on the PATH) to its end, killed after 60 s, with
// `environment` (this process's when empty), stdin /dev/null, its output in files.
ChildResult RunHost(const std::vector<std::string>& argv,
                    const std::vector<std::string>& environment = {});

// `text` without carriage returns.
std::string WithoutCarriageReturns(std::string text);

}  // namespace zenor9::testing
