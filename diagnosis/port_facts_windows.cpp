// Windows shows neither the holder of a port nor a group that would open it, and
// the driver of a COM port only through the device installer.
#include "diagnosis/port_facts.h"

namespace zenor9::diag {

std::vector<ProcessInfo> ProcessesHolding(const std::string&) {
  return {};
}

std::string GroupHint(const std::string&) {
  return {};
}

std::string DriverOf(const std::string&) {
  return {};
}

}  // namespace zenor9::diag
