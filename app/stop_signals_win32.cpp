// Windows: no signal ends a window program there; the end of a session reaches
// it as window messages, which Qt receives itself.
#include "app/stop_signals.h"

namespace zenor9 {

void StopSignalWatcher::Catch() {}
void StopSignalWatcher::Release() {}

}  // namespace zenor9
