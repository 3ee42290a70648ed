#include "cli/outcome.h"
#include "cli/platform_help.h"

namespace zenor9::cli {

std::vector<ExitCodeHelp> StopExitCodes() {
  return {
      {kExitInterrupted, N_("stopped by Ctrl-C or Ctrl-Break: what was done is printed")},
      {kExitTerminated,
       N_("stopped by closing the console, log-off or shut-down: what was done is printed")},
  };
}

const char* StopHelp() {
  return Tr(R"(Ctrl-C and Ctrl-Break (exit code 130), closing the console, log-off and
shut-down (143) stop a run at its next wait. A prefix write already begun is
finished first, both cells and their read-back; a failure of it keeps its own
exit code.)");
}

bool HasVirtualRegister() {
  return false;
}

// The console fonts of Windows (Consolas, Lucida Console, the raster fonts)
// have no check mark: words instead.
std::string CheckMark(bool ok) {
  return ok ? Tr("OK") : Tr("FAILED");
}

}  // namespace zenor9::cli
