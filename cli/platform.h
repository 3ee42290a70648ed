// What the command line does differently on each platform: the console set-up
// and the words that name the serial devices.
#pragma once

namespace zenor9::cli {

// Makes the program's UTF-8 (Russian) messages read correctly on the console.
void PrepareConsole();

// The --help paragraph that says which devices COM1 and up stand for.
const char* ComPortsHelp();

}  // namespace zenor9::cli
