#include "diagnosis/com_summary.h"

#include "diagnosis/port_facts.h"
#include "i18n/text.h"
#include "portmap/com_map.h"

namespace zenor9::diag {

std::string ComPortSummary(int number) {
  const std::string device = portmap::ResolveCom(number).device;
  std::string summary = "COM" + std::to_string(number) + ": " + device;
  if (!DevicePresent(device)) return summary + " (" + i18n::Tr("no such device") + ")";
  const std::string driver = DriverOf(device);
  return driver.empty() ? summary : summary + " (" + driver + ")";
}

}  // namespace zenor9::diag
