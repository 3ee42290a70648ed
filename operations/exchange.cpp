#include "operations/exchange.h"

#include "link/commands.h"

namespace zenor9 {

bool TryExchange(SerialChannel& channel, const ExchangePolicy& policy, Exchange exchange,
                 uint8_t addressByte, int& retried, const std::function<bool()>& once) {
  for (int attempt = 1;; ++attempt) {
    if (once()) return true;
    if (attempt > policy.retries || StopRequested(channel) || PortLost(channel)) return false;
    // A register that answered late or garbled may still be sending.
    DropLateAnswers(channel);
    // A stop that came during that wait: no further byte goes out.
    if (StopRequested(channel)) return false;
    ++retried;
    if (policy.onRetry) policy.onRetry({exchange, addressByte, attempt + 1});
  }
}

}  // namespace zenor9
