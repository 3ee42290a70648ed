#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "cli/outcome.h"
#include "cli/platform.h"

namespace zenor9::cli {

namespace {

// The console's code page before the program changed it; 0 while unchanged.
UINT consoleCodePageBefore = 0;

void RestoreConsoleCodePage() {
  ::SetConsoleOutputCP(consoleCodePageBefore);
}

bool IsConsole(DWORD standardHandle) {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(standardHandle), &mode) != 0;
}

// A shell shares its console with the programs it starts; Explorer gives a
// console program a console of its own. Input and output on that console, not
// redirected, so that there is someone to read the help and to press Enter.
bool IsAloneOnItsConsole() {
  DWORD processes[2];
  return ::GetConsoleProcessList(processes, 2) == 1 && IsConsole(STD_INPUT_HANDLE) &&
         IsConsole(STD_OUTPUT_HANDLE);
}

const char* DoubleClickHelp() {
  return Tr(R"(zenor9 %s reads and sets the local barcode prefix for weighed goods
(20 to 29, or off) in ЗЕНОР-9 cash registers on a serial line.

It is a command-line program: open a command prompt (cmd) or PowerShell and
type, for example,
  zenor9 ports                           the serial ports of this computer
  zenor9 --port COM3 read                the prefix of the register on COM3
  zenor9 --port COM3 write 25 --verify   set prefix 25 and read it back
  zenor9 --help                          every command and option

Press Enter to close this window.
)");
}

void WaitForEnter() {
  for (int c = std::getchar(); c != '\n' && c != EOF; c = std::getchar()) {
  }
}

}  // namespace

// The messages are UTF-8, and a Windows console shows its OEM code page unless
// told otherwise. The C runtime's text mode would also recode each byte on its
// way to a console as a character of its own, and an unbuffered stream may
// reach the console a byte at a time, splitting the characters. So the console
// is switched to UTF-8, and the program's streams to a console pass their bytes
// unchanged (a console starts a new line at a line feed alone) through a
// buffer; what must show at once is flushed. Pipes and files keep text mode:
// their lines end in CR LF, as Windows programs expect. The console belongs to
// the user's shell too: its code page is given back at exit.
void PrepareConsole() {
  for (std::FILE* stream : {stdout, stderr}) {
    DWORD mode = 0;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (!::GetConsoleMode(handle, &mode)) continue;
    _setmode(_fileno(stream), _O_BINARY);
    std::setvbuf(stream, nullptr, _IOFBF, 4096);
  }
  const UINT before = ::GetConsoleOutputCP();
  if (before == 0 || before == CP_UTF8 || !::SetConsoleOutputCP(CP_UTF8)) return;
  consoleCodePageBefore = before;
  std::atexit(RestoreConsoleCodePage);
}

bool ExplainedToADoubleClick(int argc) {
  if (argc > 1 || !IsAloneOnItsConsole()) return false;
  std::fputs(i18n::FormatText(DoubleClickHelp(), {ZENOR9_VERSION}).c_str(), stdout);
  std::fflush(stdout);
  WaitForEnter();
  return true;
}

const char* ComPortsHelp() {
  // xgettext:no-c-format
  return Tr(R"(COMn (1 to 255) is the device in ZENOR9_COMn when it is set, else the one in
the user's COM map (%APPDATA%\zenor9\ports, zenor9 ports --map COMn=NAME), else
the Windows serial port \\.\COMn. `zenor9 ports` lists the ports Windows knows.
--port also takes a device name such as \\.\COM12.)");
}

}  // namespace zenor9::cli
