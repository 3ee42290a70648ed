#include "cli/outcome.h"
#include "cli/platform_help.h"

namespace zenor9::cli {

std::vector<ExitCodeHelp> StopExitCodes() {
  return {
      {kExitHangUp, N_("stopped by SIGHUP (the terminal closed): what was done is printed")},
      {kExitInterrupted, N_("stopped by SIGINT (Ctrl-C): what was done is printed")},
      {kExitQuit, N_("stopped by SIGQUIT (Ctrl-\\): what was done is printed")},
      {kExitTerminated, N_("stopped by SIGTERM: what was done is printed")},
  };
}

const char* StopHelp() {
  return Tr(R"(SIGHUP, SIGINT, SIGQUIT and SIGTERM stop a run at its next wait, with exit code
128 + the signal's number. A prefix write already begun is finished first, both
cells and their read-back; a failure of it keeps its own exit code.)");
}

bool HasVirtualRegister() {
  return true;
}

// Terminal fonts on Linux draw both.
std::string CheckMark(bool ok) {
  return ok ? "✓" : "✗";
}

}  // namespace zenor9::cli
