// The table of serial drivers and how each treats stick parity.
#include <gtest/gtest.h>

#include "diagnosis/doctor.h"

namespace zenor9::diag {
namespace {

TEST(DriverVerdictTest, EachKnownDriverHasItsVerdictAndOthersAreUnknown) {
  const struct {
    const char* driver;
    StickParity verdict;
  } kCases[] = {
      {"ftdi_sio", StickParity::Carried},         {"pl2303", StickParity::Carried},
      {"serial8250", StickParity::Carried},       {"cp210x", StickParity::Dropped},
      {"ti_usb_3410_5052", StickParity::Dropped}, {"mct_u232", StickParity::Dropped},
      {"keyspan", StickParity::Dropped},          {"upd78f0730", StickParity::Dropped},
      {"oti6858", StickParity::IgnoredSilently},  {"ch341", StickParity::IgnoredSilently},
      {"cdc_acm", StickParity::IgnoredSilently},  {"", StickParity::Unknown},
      {"FTDI_SIO", StickParity::Unknown},  // driver names are exact
      {"some_new_driver", StickParity::Unknown},
  };
  for (const auto& each : kCases) {
    const DriverVerdict verdict = VerdictOfDriver(each.driver);
    EXPECT_EQ(verdict.stickParity, each.verdict) << each.driver;
    EXPECT_NE(std::string(verdict.note), "") << each.driver;
  }
}

}  // namespace
}  // namespace zenor9::diag
