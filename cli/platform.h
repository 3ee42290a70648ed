// What the command line does differently on each platform: the console set-up,
// a start by double click, and the words that name the serial devices.
#pragma once

namespace zenor9::cli {

// Makes the program's UTF-8 (Russian) messages read correctly on the console.
void PrepareConsole();

// A program started by a double click in Explorer gets no arguments and a
// console of its own, which closes the moment it ends. Then this shows how to
// use it from a command prompt, waits for Enter and returns true: the run is
// over. Otherwise (arguments, or a console shared with a shell) it returns
// false at once.
bool ExplainedToADoubleClick(int argc);

// The --help paragraph that says which devices COM1 and up stand for.
const char* ComPortsHelp();

}  // namespace zenor9::cli
