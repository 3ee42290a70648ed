#include <map>

#include "diagnosis/doctor.h"

namespace zenor9::diag {

DriverVerdict VerdictOfDriver(const std::string& driver) {
  // From the drivers' own handling of CMSPAR in their set_termios.
  static const std::map<std::string, DriverVerdict> kVerdicts = {
      {"serial8250", {StickParity::Carried, N_("a UART sends stick parity")}},
      {"serial", {StickParity::Carried, N_("a UART sends stick parity")}},
      {"port", {StickParity::Carried, N_("a UART sends stick parity")}},
      {"ftdi_sio", {StickParity::Carried, N_("FTDI chips send mark and space parity")}},
      {"pl2303", {StickParity::Carried, N_("PL2303 chips send mark and space parity")}},
      {"cp210x",
       {StickParity::Dropped, N_("a CP2101 clears CMSPAR; later CP210x chips send stick parity")}},
      {"ti_usb_3410_5052", {StickParity::Dropped, N_("the driver clears CMSPAR")}},
      {"mct_u232", {StickParity::Dropped, N_("the driver clears CMSPAR")}},
      {"keyspan", {StickParity::Dropped, N_("the driver clears CMSPAR")}},
      {"upd78f0730", {StickParity::Dropped, N_("the driver clears CMSPAR")}},
      {"oti6858",
       {StickParity::IgnoredSilently, N_("the driver sends odd or even parity instead")}},
      {"ch341",
       {StickParity::IgnoredSilently,
        N_("CH340/CH341 chips older than version 0x30 keep their parity setting")}},
      {"cdc_acm",
       {StickParity::IgnoredSilently, N_("some adapters' firmware ignores mark and space parity")}},
  };
  const auto found = kVerdicts.find(driver);
  if (found == kVerdicts.end())
    return {StickParity::Unknown, N_("not in the table of known drivers")};
  return found->second;
}

}  // namespace zenor9::diag
