// The display of an error that escapes an event handler: the handler stops, the
// error is shown under the application title, and the program goes on.
#pragma once

#include <QString>
#include <functional>

#include "app/messages.h"

namespace zenor9 {

// The name of the program; the main window has a caption of its own.
inline const QString kApplicationTitle =
    QStringLiteral("ККМ ЗЕНОР-9 Префикс локального шрихового кода");

// The error's message as the box shows it: a "." is added when the last
// character's code is greater than that of ".".
QString UnhandledErrorText(const QString& message);

// Runs one handler; an exception leaving it is shown through `messages` with
// the application title as caption and the error icon. Qt must never see the
// exception unwind through its event dispatch.
void RunHandler(MessageService& messages, const std::function<void()>& handler);

// True while a handler runs, its modal windows (the set-up dialog, a message
// box) included.
bool HandlerRunning();

}  // namespace zenor9
