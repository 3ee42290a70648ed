// Windows: a session's end reaches the window program as window messages, which
// Qt turns into closing its windows; there are no signals to catch.
#include "app/stop_signals.h"

namespace zenor9 {

void StopSignalWatcher::Catch() {}
void StopSignalWatcher::Release() {}

}  // namespace zenor9
