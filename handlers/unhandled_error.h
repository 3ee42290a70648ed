// The display of an error that escapes a handler: the handler stops, the
// error is shown under the application title, and the program goes on.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "handlers/view.h"

namespace zenor9 {

// The error's message as the box shows it: a "." is added when the code of
// the last character is greater than that of ".".
std::string UnhandledErrorText(std::string_view message);

// Runs one handler; an exception leaving it is shown in a box with the
// application title as caption and the error icon. The toolkit never sees it.
void RunHandler(ApplicationView& application, const std::function<void()>& handler);

// True while a handler runs, its modal windows (the set-up dialog, a message
// box) included: a front end that must close the program waits for it.
bool HandlerRunning();

}  // namespace zenor9
