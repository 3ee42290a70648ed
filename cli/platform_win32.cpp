#include <windows.h>

#include "cli/platform.h"

namespace zenor9::cli {

// The messages are UTF-8; a Windows console shows its OEM code page unless told
// otherwise. Pipes and files get the bytes unchanged either way.
void PrepareConsole() {
  ::SetConsoleOutputCP(CP_UTF8);
}

unsigned HighestComNumber() {
  return 255;
}

const char* ComPortsHelp() {
  return R"(COMn (1 to 255) is the Windows serial port \\.\COMn, or the device in the
environment variable ZENOR9_COMn when it is set (COM1 to COM4). `zenor9 ports`
lists the ports Windows knows. --port also takes a device name such as \\.\COM12.)";
}

}  // namespace zenor9::cli
