// What the command line does differently on each platform: the console set-up
// and the words that name the serial devices.
#pragma once

namespace zenor9::cli {

// Makes the program's UTF-8 (Russian) messages read correctly on the console.
void PrepareConsole();

// The highest n of a COMn that --port takes: 4 on POSIX (COM1 to COM4 stand
// for /dev/ttyS0 to /dev/ttyS3), 255 on Windows.
unsigned HighestComNumber();

// The --help paragraph that says which devices COM1 and up stand for.
const char* ComPortsHelp();

}  // namespace zenor9::cli
