#include "diagnosis/com_summary.h"

#include "diagnosis/port_facts.h"
#include "i18n/text.h"
#include "portmap/com_map.h"

namespace zenor9::diag {

std::string ComPortSummary(int number) {
  const portmap::ComTarget target = portmap::ResolveCom(number);
  std::string summary = "COM" + std::to_string(number) + ": ";
  if (target.device.empty()) return summary + target.problem;
  summary += target.device;
  if (!DevicePresent(target.device)) {
    // The set-up dialog offers COM1 to COM4 only: an adapter elsewhere is
    // reached through the COM map.
    const std::string com = "COM" + std::to_string(number);
    return summary + " (" + i18n::Tr("no such device") + ")\n" +
           i18n::Tr("An adapter on another port becomes %s with: %s", com,
                    "zenor9 ports --map " + com + "=" + TypicalAdapterDevice());
  }
  const std::string driver = DriverOf(target.device);
  return driver.empty() ? summary : summary + " (" + driver + ")";
}

}  // namespace zenor9::diag
