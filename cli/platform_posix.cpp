#include "cli/outcome.h"
#include "cli/platform.h"

namespace zenor9::cli {

// A POSIX terminal takes UTF-8 as it is.
void PrepareConsole() {}

// A POSIX program started from a file manager has no terminal to wait on.
bool ExplainedToADoubleClick(int) {
  return false;
}

const char* ComPortsHelp() {
  return Tr(R"(COMn (1 to 255) is the device in ZENOR9_COMn (ZENOR9_COM1 for COM1) when
set, else the one in the user's COM map (zenor9 ports --map COMn=PATH; a
relative PATH is under /dev), else /dev/ttyS(n-1). --port also takes a device
path (/dev/ttyUSB0).)");
}

}  // namespace zenor9::cli
