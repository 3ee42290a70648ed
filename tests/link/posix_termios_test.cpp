// The flags that carry the ninth bit. A pseudo-terminal drops PARENB, so the
// end-to-end tests cannot see them: a lost flag would leave a real line
// without its ninth bit while every pty test still passed.
#include <gtest/gtest.h>

#include "link/posix_termios.h"

namespace zenor9 {
namespace {

constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;
constexpr tcflag_t kInputChecks = INPCK | PARMRK | IGNPAR;

termios SettingsWith(tcflag_t cflag, tcflag_t iflag) {
  termios settings{};
  settings.c_cflag = cflag;
  settings.c_iflag = iflag;
  return settings;
}

TEST(StickParityTest, MarkAndSpaceBothEnableStickParityAndNeverCheckInput) {
  // From a clear start and from the other mode with every input check on.
  for (const termios& start : {SettingsWith(CS8 | CREAD, 0),
                               SettingsWith(CS8 | CREAD | PARENB | PARODD, kInputChecks | IXON)}) {
    termios mark = start;
    SetStickParity(mark, ParityMode::Mark);
    EXPECT_EQ(mark.c_cflag & kParityBits, PARENB | CMSPAR | PARODD);
    EXPECT_EQ(mark.c_iflag & kInputChecks, 0u);

    termios space = start;
    SetStickParity(space, ParityMode::Space);
    EXPECT_EQ(space.c_cflag & kParityBits, PARENB | CMSPAR);
    EXPECT_EQ(space.c_iflag & kInputChecks, 0u);

    // Nothing but the parity flags changes.
    EXPECT_EQ(mark.c_cflag & ~kParityBits, start.c_cflag & ~kParityBits);
    EXPECT_EQ(space.c_iflag & ~kInputChecks, start.c_iflag & ~kInputChecks);
  }
}

TEST(StickParityTest, SwitchingBackAndForthLeavesOnlyTheLastMode) {
  termios settings = SettingsWith(CS8, 0);
  SetStickParity(settings, ParityMode::Mark);
  SetStickParity(settings, ParityMode::Space);
  EXPECT_EQ(settings.c_cflag & PARODD, 0u);
  SetStickParity(settings, ParityMode::Mark);
  EXPECT_EQ(settings.c_cflag & kParityBits, PARENB | CMSPAR | PARODD);
}

}  // namespace
}  // namespace zenor9
