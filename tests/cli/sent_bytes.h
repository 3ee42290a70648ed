// What a child process sent to the registers, as its own trace says.
#pragma once

#include <regex>
#include <string>
#include <vector>

namespace zenor9::testing {

// How many address bytes (MARK) and frame bytes (SPACE) a run says it sent in
// its --trace. A scan's count is taken here rather than from the line: a probe
// that nothing answers may still wait in the pseudo-terminal on a loaded
// machine when the program empties its output before the next probe, and so
// never reach the line, where a UART would have sent it long before.
struct TracedSends {
  std::size_t mark = 0;
  std::size_t space = 0;
};

inline TracedSends TracedSendsOf(const std::string& trace) {
  static const std::regex sent("-> [0-9A-F]{2} (MARK|SPACE)");
  TracedSends sends;
  for (std::sregex_iterator match(trace.begin(), trace.end(), sent), end; match != end; ++match) {
    ++((*match)[1] == "MARK" ? sends.mark : sends.space);
  }
  return sends;
}

}  // namespace zenor9::testing
