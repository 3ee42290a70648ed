// How often an exchange with the register is tried. The window program tries
// each exchange once, as the register's protocol has it; the command line,
// which runs on long and noisy shop lines, tries a failed one again.
#pragma once

#include <cstdint>
#include <functional>

#include "link/channel.h"

namespace zenor9 {

// The exchanges that may be tried again.
enum class Exchange : uint8_t { Identify, ReadCell, WriteCell, Probe };

// A failed exchange about to be tried again: `attempt` is the number of the
// try that is about to start (2 for the first retry).
struct RetryNote {
  Exchange exchange;
  uint8_t addressByte;
  int attempt;
};
using RetryObserver = std::function<void(const RetryNote& note)>;

struct ExchangePolicy {
  int retries = 0;        // further tries after a failed one; 0: a single try
  RetryObserver onRetry;  // told before each retry; may be empty
};

// Runs `once` until it succeeds, at most 1 + policy.retries times, and adds the
// retries it made to `retried`. Before a retry whatever the failed exchange may
// still bring is let through and dropped (DropLateAnswers), so that a late
// answer never passes for the next try's. A stop requested on the channel, or
// a port that went away, ends the tries. True when a try succeeded.
bool TryExchange(SerialChannel& channel, const ExchangePolicy& policy, Exchange exchange,
                 uint8_t addressByte, int& retried, const std::function<bool()>& once);

}  // namespace zenor9
