// zenor9.exe run under Wine in the private prefix that `make test-windows`
// prepares, with the prefix's COM ports pointed at the tests' pseudo-terminals.
#pragma once

#include <sys/types.h>

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

  // Starts a Windows program without waiting for it, drawing on the X display
  // `display`, in a Russian locale (ru_RU.UTF-8: Cyrillic in Wine's bitmap fonts
  // and in the titles X sees); its output goes to `output`.out and .err. -1
  // when refused, as Run refuses, or when it could not start.
  pid_t StartOnDisplay(const std::string& exe, const std::vector<std::string>& args,
                       const std::string& display, const std::string& output) const;
  // The same, to its end (60 s at most); its stdout, line ends made "\n".
  ChildResult RunOnDisplay(const std::string& exe, const std::vector<std::string>& args,
                           const std::string& display) const;
  // Waits up to `timeoutMs` for a started program to end: its exit code, -1
  // when it did not end (it is then killed).
  static int WaitForEnd(pid_t pid, int timeoutMs);

  const std::string& Prefix() const { return prefix_; }
  const std::string& Exe() const { return exe_; }
  // The Unix locale of the runs, which makes Wine's UI language: Russian, as
  // most users have it, unless a test asks for another ("en_US.UTF-8").
  void UseLocale(std::string locale) { locale_ = std::move(locale); }

 private:
  std::vector<std::string> Argv(const std::vector<std::string>& args) const;

  std::string exe_;
  std::string prefix_;
  std::string ports_;
  std::string locale_ = "ru_RU.UTF-8";
};

// `text` without carriage returns.
std::string WithoutCarriageReturns(std::string text);

}  // namespace zenor9::testing
