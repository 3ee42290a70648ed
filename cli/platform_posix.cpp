#include "cli/platform.h"

namespace zenor9::cli {

// A POSIX terminal takes UTF-8 as it is.
void PrepareConsole() {}

unsigned HighestComNumber() {
  return 4;
}

const char* ComPortsHelp() {
  return R"(COM1 to COM4 are the devices in ZENOR9_COM1 to ZENOR9_COM4 when set, else
/dev/ttyS0 to /dev/ttyS3. --port also takes a device path (/dev/ttyUSB0).)";
}

}  // namespace zenor9::cli
