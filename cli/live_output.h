// What a long command reports while it runs: each result line on stdout as soon
// as it is known, and, on a terminal, a one-line progress indicator on stderr
// that is erased before each result line and when the work ends.
#pragma once

#include <string>

namespace zenor9::cli {

// The progress text of a scan's probe: "looking for registers: 37 of 100".
std::string ProbeProgress(int probe);

class LiveOutput {
 public:
  // `json`: results go into the one JSON object at the end, not onto stdout now.
  // `progress`: draw the indicator (only for a terminal, and never with --json).
  LiveOutput(bool json, bool progress) : json_(json), progress_(progress && !json) {}
  ~LiveOutput() { EndProgress(); }
  LiveOutput(const LiveOutput&) = delete;
  LiveOutput& operator=(const LiveOutput&) = delete;

  // Prints a result line on stdout and flushes it, unless the output is JSON.
  void Line(const std::string& text);
  // Replaces the progress indicator with `text`; an empty text erases it.
  void Progress(const std::string& text);
  // Erases the progress indicator.
  void EndProgress();

 private:
  bool json_;
  bool progress_;
  std::string shown_;  // the indicator on the terminal now, empty when none
};

}  // namespace zenor9::cli
