#include "app/handler_guard.h"

#include <exception>

namespace zenor9 {

QString UnhandledErrorText(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
  return message;
}

void RunHandler(MessageService& messages, const std::function<void()>& handler) {
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
