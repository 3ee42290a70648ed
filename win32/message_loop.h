// The program's message loops: the main one and the set-up dialog's modal one.
#pragma once

#include <windows.h>

#include <functional>

namespace zenor9::win32 {

// The exit code of WM_QUIT after the message queue failed.
inline constexpr int kQueueFailedExitCode = 1;

// Dispatches messages, with the dialog manager's keyboard navigation (Tab,
// arrows among radio buttons, Space) inside `window`, until WM_QUIT or a
// failure of the queue (true; WM_QUIT is posted again for any outer loop) or
// until `done` answers true after a message (false).
bool RunMessages(HWND window, const std::function<bool()>& done);

// Enter clicks the push button that has the focus and does nothing elsewhere;
// Escape does nothing: neither window has a default or a cancel button. True
// when `message` was one of these keys and has been dealt with.
bool HandleEnterAndEscape(const MSG& message);

}  // namespace zenor9::win32
