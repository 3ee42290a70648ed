#include "app/handler_guard.h"

#include <exception>

namespace zenor9 {

QString UnhandledErrorText(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
  return message;
}

namespace {

// Handlers nest: a modal window's own handlers run inside the one that showed it.
int handlersRunning = 0;

class RunningHandler {
 public:
  RunningHandler() { ++handlersRunning; }
  ~RunningHandler() { --handlersRunning; }
  RunningHandler(const RunningHandler&) = delete;
  RunningHandler& operator=(const RunningHandler&) = delete;
};

}  // namespace

bool HandlerRunning() {
  return handlersRunning > 0;
}

void RunHandler(MessageService& messages, const std::function<void()>& handler) {
  const RunningHandler running;
  QString message;
  try {
    handler();
    return;
  } catch (const std::exception& error) {
    message = QString::fromUtf8(error.what());
  } catch (...) {
    message = QStringLiteral("Unknown error");
  }
  messages.Show(UnhandledErrorText(message), kApplicationTitle, kIconError);
}

}  // namespace zenor9
