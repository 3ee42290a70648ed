// The whole run of zenor9 from its arguments in UTF-8. Each platform's entry
// point (entry_posix.cpp, entry_win32.cpp) gets them as the system gives them
// and calls this.
#pragma once

namespace zenor9::cli {

// The exit code of the run.
int RunProgram(int argc, const char* const* argv);

}  // namespace zenor9::cli
